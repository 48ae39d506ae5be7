# -*- coding: utf-8 -*-
"""Prints the playbook's task results and statistics as one JSON document,
for the fleet end-to-end test (ansible-core ships no JSON stdout callback)."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = '''
name: fleet_json
type: stdout
short_description: task results and statistics as one JSON document
description:
  - "{plays: [{tasks: [{task: {name}, hosts: {HOST: RESULT}}]}], stats: {HOST: {ok, changed, failures, ...}}}"
'''


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'stdout'
    CALLBACK_NAME = 'fleet_json'

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.plays = []

    def v2_playbook_on_play_start(self, play):
        self.plays.append(dict(play=dict(name=play.get_name()), tasks=[]))

    def _task(self, task):
        tasks = self.plays[-1]['tasks']
        if not tasks or tasks[-1]['task']['uuid'] != task._uuid:
            tasks.append(dict(task=dict(name=task.get_name(), uuid=task._uuid), hosts={}))
        return tasks[-1]

    def v2_playbook_on_task_start(self, task, is_conditional):
        self._task(task)

    def v2_playbook_on_handler_task_start(self, task):
        self._task(task)

    def _record(self, result, **extra):
        entry = dict(result._result)
        entry.update(extra)
        self._task(result._task)['hosts'][result._host.get_name()] = entry

    def v2_runner_on_ok(self, result):
        self._record(result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._record(result, failed=True)

    def v2_runner_on_skipped(self, result):
        self._record(result, skipped=True)

    def v2_runner_on_unreachable(self, result):
        self._record(result, unreachable=True, failed=True)

    def v2_playbook_on_stats(self, stats):
        summary = dict((host, stats.summarize(host)) for host in sorted(stats.processed))
        self._display.display(json.dumps(dict(plays=self.plays, stats=summary), indent=2, default=str))
