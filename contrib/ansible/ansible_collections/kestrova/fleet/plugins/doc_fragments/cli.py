# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r'''
options:
  cli:
    description:
      - The C(kestrova-cli) to run on the managed host, a path or a name looked up in C(PATH).
      - The Debian package installs it as C(/usr/bin/kestrova-cli).
    type: str
    default: kestrova-cli
  root:
    description:
      - System root under which the system plug-in folders are looked up (C(--root)).
      - Leave it out on a real machine; give it for a sandbox tree.
    type: path
  home:
    description:
      - Home folder of the user whose inventory is managed (C(--home)); the user's state and settings live below it.
    type: path
  au_registry:
    description:
      - JSON file standing in for the Audio Unit registry (C(--au-registry)).
    type: path
  profile:
    description:
      - Folder layout (C(--profile)). Without it C(kestrova-cli) picks macos for a sandbox root, else linux.
    type: str
    choices: [macos, linux]
notes:
  - Runs C(kestrova-cli ... --json) on the managed host and reads only its JSON output and exit code.
  - Variables such as C(KESTROVA_HELPER_MODE) reach C(kestrova-cli) through the task or play C(environment) keyword.
  - All the options above can be set once for every module of the collection with
    C(module_defaults) and the action group C(group/kestrova.fleet.all).
'''
