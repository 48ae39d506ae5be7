#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: scan
short_description: Scan the authorized plug-in folders into the Kestrova inventory
version_added: 1.0.0
description:
  - Runs C(kestrova-cli scan --json), which reads the authorized folders and updates the inventory.
  - Reports a change on the first scan, and after that only when the scan found bundles added, missing or restored
    by hand since the previous one.
  - A scan never moves a plug-in, except that it re-quarantines exact replacements of bundles whose
    manufacturer has a permanent-quarantine rule.
options: {}
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: partial
    description: Can run in check mode.
    details: Nothing is scanned in check mode and the task reports no change.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Scan after granting the folders
  kestrova.fleet.scan:
'''

RETURN = r'''
products:
  description: Number of products in the inventory after the scan.
  returned: success
  type: int
reconciliation:
  description: What the scan found changed, as C(addedBundles), C(missingBundles) and C(manuallyRestoredBundles).
  returned: success
  type: dict
inaccessible_locations:
  description: Folders the scan could not read.
  returned: success
  type: list
  elements: str
notice:
  description: The scan's own notice, as title and message.
  returned: success
  type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import KestrovaCli, argument_spec


def main():
    module = AnsibleModule(argument_spec=argument_spec(), supports_check_mode=True)
    if module.check_mode:
        module.exit_json(changed=False, skipped=True, msg='A scan updates the inventory; not run in check mode.')
    cli = KestrovaCli(module)
    first = cli.run_or_fail(['state', 'check']).get('lastScanDate') is None
    result = cli.run_or_fail(['scan'])
    reconciliation = result.get('lastReconciliation') or {}
    changed = first or any(reconciliation.get(key, 0) for key in
                           ('addedBundles', 'missingBundles', 'manuallyRestoredBundles'))
    module.exit_json(changed=changed,
                     products=len(result.get('plugins') or []),
                     reconciliation=reconciliation,
                     inaccessible_locations=result.get('inaccessibleLocations') or [],
                     notice=result.get('notice'))


if __name__ == '__main__':
    main()
