# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""Runs kestrova-cli with --json on the managed host.

Every module of the collection talks to Kestrova only through this: the
command's standard output is one JSON document, its exit code says whether
the requested output was produced, and a failure carries the product's own
text (standard error, else the refusals in the JSON body).
"""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

CLI_ARGUMENT_SPEC = dict(
    cli=dict(type='str', default='kestrova-cli'),
    root=dict(type='path'),
    home=dict(type='path'),
    au_registry=dict(type='path'),
    profile=dict(type='str', choices=['macos', 'linux']),
)


class KestrovaCliError(Exception):
    """kestrova-cli failed; message is the product's own text."""

    def __init__(self, message, rc=None, stdout='', stderr='', command=None, body=None):
        super(KestrovaCliError, self).__init__(message)
        self.message = message
        self.rc = rc
        self.stdout = stdout
        self.stderr = stderr
        self.command = command
        self.body = body

    def fail(self, module, **extra):
        module.fail_json(msg=self.message, rc=self.rc, stdout=self.stdout, stderr=self.stderr,
                         cmd=self.command, kestrova=self.body, **extra)


def refusal_text(body):
    """The product's own words for a failure reported inside a JSON body."""
    if not isinstance(body, dict):
        return ''
    lines = []
    error = body.get('error')
    if isinstance(error, dict):
        lines.extend(error.get('messages') or [])
    elif error:
        lines.append(error)
    if body.get('lastError'):
        lines.append(body['lastError'])
    notices = list(body.get('notices') or [])
    if isinstance(body.get('notice'), dict):
        notices.append(body['notice'])
    for notice in notices:
        if notice.get('style') == 'warning':
            lines.append('%s: %s' % (notice.get('title', ''), notice.get('message', '')))
    return '\n'.join(lines)


class KestrovaCli(object):
    """kestrova-cli with the sandbox and profile options the module was given."""

    def __init__(self, module):
        self.module = module
        params = module.params
        command = [params['cli']]
        if params['cli'] and '/' not in params['cli']:
            command = [module.get_bin_path(params['cli'], required=True)]
        for option, name in (('--root', 'root'), ('--home', 'home'),
                             ('--au-registry', 'au_registry'), ('--profile', 'profile')):
            if params.get(name):
                command += [option, params[name]]
        self.base = command

    def run(self, arguments, values=()):
        """The parsed JSON document of `kestrova-cli ARGUMENTS --json -- VALUES`.

        Values (folder paths, names) come after `--`, so that one beginning
        with a dash is never read as an option. Raises KestrovaCliError on a
        non-zero exit or when standard output is not one JSON document.
        """
        command = self.base + list(arguments) + ['--json']
        if values:
            command += ['--'] + list(values)
        rc, stdout, stderr = self.module.run_command(command, check_rc=False,
                                                     environ_update={'LC_ALL': 'C.UTF-8'})
        body = None
        parse_error = None
        if stdout.strip():
            try:
                body = json.loads(stdout)
            except ValueError as error:
                parse_error = error
        if rc != 0:
            message = stderr.strip() or refusal_text(body) or stdout.strip()
            raise KestrovaCliError(message or 'kestrova-cli exited with %d' % rc,
                                   rc=rc, stdout=stdout, stderr=stderr, command=command, body=body)
        if body is None:
            raise KestrovaCliError('kestrova-cli %s printed no JSON document (%s)'
                                   % (' '.join(arguments), parse_error or 'empty output'),
                                   rc=rc, stdout=stdout, stderr=stderr, command=command)
        return body

    def run_or_fail(self, arguments, values=()):
        try:
            return self.run(arguments, values)
        except KestrovaCliError as error:
            error.fail(self.module)


def argument_spec(**options):
    arguments = dict(CLI_ARGUMENT_SPEC)
    arguments.update(options)
    return arguments
