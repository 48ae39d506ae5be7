#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: preset
short_description: Preview, run or restore a Kestrova format cleanup preset
version_added: 1.0.0
description:
  - Previews a format cleanup preset (C(kestrova-cli cleanup preview --json)), runs it through the privileged
    helper (C(cleanup run --json)) or restores the bundles a run put into quarantine (C(cleanup restore-run --json)).
  - A run quarantines the preview's default selection and reports the run ID and how many bundles moved.
    Any refusal the product reports fails the task with the product's own text; what did move stays reported.
  - A run whose preview selects nothing (everything it targets is already in quarantine) changes nothing and
    succeeds.
  - The helper must be enabled on the host (see M(kestrova.fleet.helper)) to run or restore.
options:
  state:
    description:
      - C(preview) only reads the preview and never changes anything.
      - C(run) quarantines the preview's default selection; in check mode it gives the preview instead.
      - C(restored) puts back every bundle of run O(run_id) that is still in quarantine.
    type: str
    choices: [preview, run, restored]
    default: preview
  preset:
    description:
      - The preset, by its stored name. Required unless O(state=restored).
    type: str
    choices: [auOnly, auAndVST3, retireVST2, noAAX, custom]
  formats:
    description:
      - The formats the C(custom) preset quarantines.
    type: list
    elements: str
    default: []
  include_unsafe_defaults:
    description:
      - Also quarantine candidates that would leave a product with no active format.
    type: bool
    default: false
  once:
    description:
      - Run the preset at most once on a host. When a run of the same preset is already recorded, nothing moves
        and that run is reported, also when its bundles were restored since; a fleet rollout then leaves alone a
        machine where someone put the bundles back on purpose.
    type: bool
    default: false
  run_id:
    description:
      - The run to restore, as reported by a run (or its first characters). Required with O(state=restored).
    type: str
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: full
    description: A run gives the preview and reports a change when something would move; a restore reports
      what would be put back.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Show what retiring VST2 would quarantine
  kestrova.fleet.preset:
    preset: retireVST2
  register: preview

- name: Retire VST2 on every machine, once
  kestrova.fleet.preset:
    preset: retireVST2
    state: run
    once: true
  register: retired

- name: Quarantine the AAX and VST2 bundles
  kestrova.fleet.preset:
    preset: custom
    formats: [AAX, VST2]
    state: run

- name: Put the run's bundles back
  kestrova.fleet.preset:
    state: restored
    run_id: "{{ retired.run_id }}"
'''

RETURN = r'''
run_id:
  description: The run's ID (for O(state=run), the run just made or, with O(once), the one found).
  returned: when a run exists
  type: str
moved:
  description: Bundles the run put into quarantine.
  returned: O(state=run), not in check mode
  type: int
restored:
  description: Bundles put back by the restore.
  returned: O(state=restored)
  type: int
status:
  description: The run's status (completed, partiallyCompleted, canceled, pending).
  returned: when a run exists
  type: str
candidates:
  description: The preview's candidates, each with pluginName, manufacturer, format, path and selectedByDefault.
  returned: O(state=preview), or O(state=run) in check mode or when nothing would move
  type: list
  elements: dict
would_move:
  description: How many bundles a run would quarantine.
  returned: O(state=preview), or O(state=run) in check mode or when nothing would move
  type: int
exclusions:
  description: The preview's exclusions, in the product's own words.
  returned: O(state=preview), or O(state=run) in check mode or when nothing would move
  type: list
  elements: str
preview_warnings:
  description: The preview's warnings, in the product's own words.
  returned: O(state=preview), or O(state=run) in check mode or when nothing would move
  type: list
  elements: str
notices:
  description: The notices the product published, each with title, message and style.
  returned: when the product ran or restored something
  type: list
  elements: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import (
    KestrovaCli, KestrovaCliError, argument_spec)


def preview(cli, params):
    arguments = ['cleanup', 'preview', params['preset']]
    if params['formats']:
        arguments += ['--formats', ','.join(params['formats'])]
    plan = cli.run_or_fail(arguments)
    candidates = plan.get('candidates') or []
    chosen = [c for c in candidates if params['include_unsafe_defaults'] or c.get('selectedByDefault')]
    return dict(
        candidates=[dict((key, c.get(key)) for key in
                         ('pluginName', 'manufacturer', 'format', 'path', 'selectedByDefault',
                          'removesLastActiveFormat')) for c in candidates],
        would_move=len(chosen),
        exclusions=[e.get('detail') for e in plan.get('exclusions') or []],
        preview_warnings=[w.get('detail') for w in plan.get('warnings') or []],
    )


def find_run(runs, wanted):
    wanted = wanted.strip().upper()
    found = [run for run in runs if wanted and run['id'].upper().startswith(wanted)]
    return found[0] if len(found) == 1 else None


def run_preset(module, cli, params):
    if params['once']:
        earlier = [run for run in cli.run_or_fail(['cleanup', 'runs']) if run['preset'] == params['preset']]
        if earlier:
            run = earlier[0]
            module.exit_json(changed=False, run_id=run['id'], status=run['status'], moved=0,
                             msg='The preset already ran on this host as run %s.' % run['id'])
    planned = preview(cli, params)
    if module.check_mode or planned['would_move'] == 0:
        # With nothing to move the product refuses to start a run; there is
        # nothing to do, which is no failure.
        module.exit_json(changed=planned['would_move'] > 0, **planned)
    arguments = ['cleanup', 'run', params['preset']]
    if params['formats']:
        arguments += ['--formats', ','.join(params['formats'])]
    if params['include_unsafe_defaults']:
        arguments.append('--include-unsafe-defaults')
    try:
        result = cli.run(arguments)
    except KestrovaCliError as error:
        body = error.body if isinstance(error.body, dict) else {}
        error.fail(module, changed=bool(body.get('moved')), run_id=body.get('runID'), moved=body.get('moved', 0),
                   status=body.get('status'), notices=body.get('notices', []))
    module.exit_json(changed=result['moved'] > 0, run_id=result['runID'], moved=result['moved'],
                     status=result['status'], notices=result['notices'],
                     eligible=result['eligible'], selected=result['selected'], excluded=result['excluded'])


def restore_run(module, cli, params):
    runs = cli.run_or_fail(['cleanup', 'runs'])
    run = find_run(runs, params['run_id'])
    if run is None:
        module.fail_json(msg='No single cleanup run on this host has the id "%s".' % params['run_id'])
    if run['bundlesInQuarantine'] == 0:
        module.exit_json(changed=False, run_id=run['id'], status=run['status'], restored=0,
                         msg='No bundle of the run is in quarantine.')
    if module.check_mode:
        module.exit_json(changed=True, run_id=run['id'], status=run['status'], restored=run['bundlesInQuarantine'])
    try:
        result = cli.run(['cleanup', 'restore-run', run['id']])
    except KestrovaCliError as error:
        body = error.body if isinstance(error.body, dict) else {}
        error.fail(module, changed=bool(body.get('restored')), run_id=run['id'], restored=body.get('restored', 0),
                   notices=body.get('notices', []))
    module.exit_json(changed=result['restored'] > 0, run_id=result['runID'], restored=result['restored'],
                     in_quarantine=result['bundlesInQuarantine'], notices=result['notices'])


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(
            state=dict(type='str', default='preview', choices=['preview', 'run', 'restored']),
            preset=dict(type='str', choices=['auOnly', 'auAndVST3', 'retireVST2', 'noAAX', 'custom']),
            formats=dict(type='list', elements='str', default=[]),
            include_unsafe_defaults=dict(type='bool', default=False),
            once=dict(type='bool', default=False),
            run_id=dict(type='str'),
        ),
        required_if=[('state', 'preview', ('preset',)), ('state', 'run', ('preset',)),
                     ('state', 'restored', ('run_id',))],
        supports_check_mode=True,
    )
    params = module.params
    cli = KestrovaCli(module)
    if params['state'] == 'preview':
        module.exit_json(changed=False, **preview(cli, params))
    if params['state'] == 'run':
        run_preset(module, cli, params)
    restore_run(module, cli, params)


if __name__ == '__main__':
    main()
