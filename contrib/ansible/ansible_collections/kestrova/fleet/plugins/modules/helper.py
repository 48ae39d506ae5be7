#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: helper
short_description: Read, enable or disable Kestrova's privileged helper (Plugin Management)
version_added: 1.0.0
description:
  - The helper daemon moves every plug-in bundle for Kestrova; presets and restores need it enabled.
  - Uses C(kestrova-cli helper status|enable|disable --json). Enabling an enabled, answering helper and disabling
    one that is not registered change nothing.
options:
  state:
    description:
      - C(status) only reports; C(enabled) registers and starts the helper; C(disabled) unregisters and stops it.
    type: str
    choices: [status, enabled, disabled]
    default: status
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: full
    description: Reports whether the helper would be enabled or disabled.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Enable Plugin Management
  kestrova.fleet.helper:
    state: enabled

- name: Read the helper's status
  kestrova.fleet.helper:
  register: helper

- name: Stop the helper
  kestrova.fleet.helper:
    state: disabled
'''

RETURN = r'''
status:
  description: The registration in the product's words (Enabled, Not Enabled, Approval Required, Helper Missing,
    Status Unavailable).
  returned: always
  type: str
secure_handshake:
  description: Whether the helper answered the secure handshake.
  returned: always
  type: bool
helper_build:
  description: The helper build it reported, or null.
  returned: always
  type: str
last_error:
  description: The helper's last error in the product's words, or null.
  returned: always
  type: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import KestrovaCli, argument_spec

ENABLED = 'Enabled'
NOT_ENABLED = 'Not Enabled'


def report(status):
    return dict(status=status.get('status'), secure_handshake=bool(status.get('secureHandshake')),
                helper_build=status.get('reportedHelperBuild'), last_error=status.get('lastError'))


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(
            state=dict(type='str', default='status', choices=['status', 'enabled', 'disabled']),
        ),
        supports_check_mode=True,
    )
    cli = KestrovaCli(module)
    state = module.params['state']
    # Status exits 0 whatever the helper's state; the JSON body tells it.
    current = cli.run_or_fail(['helper', 'status'])
    running = current['status'] == ENABLED and current.get('secureHandshake')
    if state == 'status':
        module.exit_json(changed=False, **report(current))
    if state == 'enabled':
        if running:
            module.exit_json(changed=False, **report(current))
        if module.check_mode:
            module.exit_json(changed=True, **report(current))
        module.exit_json(changed=True, **report(cli.run_or_fail(['helper', 'enable'])))
    if current['status'] == NOT_ENABLED and not current.get('secureHandshake'):
        module.exit_json(changed=False, **report(current))
    if module.check_mode:
        module.exit_json(changed=True, **report(current))
    module.exit_json(changed=True, **report(cli.run_or_fail(['helper', 'disable'])))


if __name__ == '__main__':
    main()
