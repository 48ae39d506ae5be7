#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: rule
short_description: Switch a manufacturer's permanent-quarantine rule on or off
version_added: 1.0.0
description:
  - With a manufacturer's rule on, Kestrova re-quarantines after each verified scan the exact replacements an
    installer brings back of that manufacturer's quarantined bundles.
  - Uses C(kestrova-cli rules --json) and C(kestrova-cli rule on|off --json); a rule already in the asked state is
    left untouched, keeping the date it was switched on.
options:
  manufacturer:
    description:
      - The manufacturer, in any letter case; the inventory's own spelling is kept when it names the same one.
    type: str
    required: true
  state:
    description:
      - Whether the rule is on (C(enabled)) or off (C(disabled)).
    type: str
    choices: [enabled, disabled]
    default: enabled
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: full
    description: Reports whether the rule would change.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Keep Brightwater Audio's quarantined bundles in quarantine
  kestrova.fleet.rule:
    manufacturer: Brightwater Audio

- name: Let its replacements stay installed again
  kestrova.fleet.rule:
    manufacturer: Brightwater Audio
    state: disabled
'''

RETURN = r'''
manufacturer:
  description: The manufacturer as the rule names it.
  returned: always
  type: str
enabled:
  description: Whether the rule is on after the task.
  returned: always
  type: bool
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import KestrovaCli, argument_spec


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(
            manufacturer=dict(type='str', required=True),
            state=dict(type='str', default='enabled', choices=['enabled', 'disabled']),
        ),
        supports_check_mode=True,
    )
    cli = KestrovaCli(module)
    wanted = module.params['state'] == 'enabled'
    manufacturer = module.params['manufacturer']
    arguments = ['rule', 'on' if wanted else 'off']
    if module.check_mode:
        arguments.append('--dry-run')
    result = cli.run_or_fail(arguments, [manufacturer])
    module.exit_json(changed=result['changed'], enabled=result['enabled'], manufacturer=result['manufacturer'])


if __name__ == '__main__':
    main()
