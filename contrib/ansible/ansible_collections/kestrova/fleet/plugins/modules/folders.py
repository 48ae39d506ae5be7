#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: folders
short_description: Authorize plug-in folders for Kestrova
version_added: 1.0.0
description:
  - Grants Kestrova read access to plug-in folders through C(kestrova-cli authorize --json).
  - A folder that is already authorized, or lies inside an authorized folder, is left alone, so the task
    reports a change only when something was granted.
options:
  standard:
    description:
      - Grant every standard plug-in folder of the profile that exists on the host (on Linux also the folders
        named by C(VST_PATH), C(CLAP_PATH) and C(LV2_PATH)).
    type: bool
    default: false
  paths:
    description:
      - Further folders to grant. Each must exist.
    type: list
    elements: path
    default: []
extends_documentation_fragment:
  - kestrova.fleet.cli
attributes:
  check_mode:
    support: full
    description: Reports what would be granted without granting it.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Grant the standard plug-in folders
  kestrova.fleet.folders:
    standard: true

- name: Grant a studio's own plug-in share as well
  kestrova.fleet.folders:
    paths:
      - /srv/plugins/vst3
'''

RETURN = r'''
granted:
  description: Folders granted by this task (in check mode, those that would be).
  returned: always
  type: list
  elements: str
already_authorized:
  description: Folders asked for that an existing grant already covers.
  returned: always
  type: list
  elements: str
authorized_folders:
  description: Every authorized folder after the task.
  returned: always
  type: list
  elements: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kestrova.fleet.plugins.module_utils.kestrova_cli import KestrovaCli, argument_spec


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(
            standard=dict(type='bool', default=False),
            paths=dict(type='list', elements='path', default=[]),
        ),
        required_one_of=[('standard', 'paths')],
        supports_check_mode=True,
    )
    if not module.params['standard'] and not module.params['paths']:
        module.fail_json(msg='Give paths, or standard: true.')
    cli = KestrovaCli(module)
    arguments = ['authorize']
    if module.params['standard']:
        arguments.append('--standard')
    if module.check_mode:
        arguments.append('--dry-run')
    result = cli.run_or_fail(arguments, module.params['paths'])
    module.exit_json(changed=bool(result['granted']),
                     granted=result['granted'],
                     already_authorized=result['alreadyAuthorized'],
                     authorized_folders=result['authorizedFolders'])


if __name__ == '__main__':
    main()
