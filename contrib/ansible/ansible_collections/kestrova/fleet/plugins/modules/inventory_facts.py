#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: inventory_facts
short_description: Gather a host's Kestrova plug-in inventory as facts
version_added: 1.0.0
description:
  - Reads the inventory with C(kestrova-cli list --json), C(state check --json), C(cleanup runs --json),
    C(rules --json), C(folders --json) and C(duplicates --json) and returns it as the host fact C(kestrova).
  - Reads only; the inventory is what the last scan found (see M(kestrova.fleet.scan)).
options: {}
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: full
    description: Reads only.
  facts:
    support: full
    description: Returns the C(kestrova) fact.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Gather the plug-in inventory
  kestrova.fleet.inventory_facts:

- name: Say which hosts still have VST2 bundles in service
  ansible.builtin.debug:
    msg: "{{ ansible_facts.kestrova.products | selectattr('active_formats', 'contains', 'VST2') | map(attribute='name') }}"
'''

RETURN = r'''
ansible_facts:
  description: Facts added to the host.
  returned: always
  type: complex
  contains:
    kestrova:
      description:
        - The inventory. C(products) lists each product with name, manufacturer, version, formats,
          active_formats, quarantined_formats, architecture, status, protected and bundles (a count).
        - C(formats), C(architectures) and C(statuses) count bundles and products; C(quarantined_bundles),
          C(trash_records) and C(protected_products) come from the state file; C(last_scan) is an ISO 8601 UTC
          time or null; C(cleanup_runs), C(rules) (manufacturers with a rule on) and C(authorized_folders) follow.
        - C(duplicates) lists the plug-ins installed more than once, each with name, manufacturer, format,
          kind and copies (path, version and proposal, one of keep, retire, protected or notMovable).
      returned: always
      type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import KestrovaCli, argument_spec
from ansible_collections.kestrova.fleet.plugins.module_utils.inventory import inventory_facts


def main():
    module = AnsibleModule(argument_spec=argument_spec(), supports_check_mode=True)
    cli = KestrovaCli(module)
    facts = inventory_facts(products=cli.run_or_fail(['list']),
                            state=cli.run_or_fail(['state', 'check']),
                            runs=cli.run_or_fail(['cleanup', 'runs']),
                            rules=cli.run_or_fail(['rules']),
                            folders=cli.run_or_fail(['folders']),
                            duplicates=cli.run_or_fail(['duplicates']))
    module.exit_json(changed=False, ansible_facts=dict(kestrova=facts))


if __name__ == '__main__':
    main()
