#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: fleet_report
short_description: Write the fleet's plug-in inventory as one CSV file and one Markdown table
version_added: 1.0.0
description:
  - Takes the C(kestrova) facts of every host (from M(kestrova.fleet.inventory_facts)) and writes which host has
    which product in which formats and versions, and which hosts differ from the majority.
  - A host's entry for a product is its version with the formats in service and in quarantine, or absent; the
    majority entry is the one more than half of the hosts share. Without one, every host differs.
  - "Runs where the files go, usually the controller (C(delegate_to: localhost), C(run_once: true)).
    A file whose content would not change is not written."
options:
  facts:
    description:
      - The C(kestrova) fact of each host, by host name.
    type: dict
    required: true
  csv:
    description:
      - The CSV file to write, one row per host and product, with the columns host, manufacturer, product,
        present, version, formats, quarantined_formats and matches_majority.
    type: path
    required: true
  markdown:
    description:
      - The Markdown file to write, one table row per product and one column per host, then the disagreements
        host by host.
    type: path
    required: true
  title:
    description:
      - The Markdown document's heading.
    type: str
    default: Kestrova fleet report
attributes:
  check_mode:
    support: full
    description: Reports whether either file would change.
author:
  - Kestrova contributors (@kestrova)
'''

EXAMPLES = r'''
- name: Gather on every host
  kestrova.fleet.inventory_facts:

- name: Write the report on the controller
  kestrova.fleet.fleet_report:
    facts: "{{ dict(ansible_play_hosts | zip(ansible_play_hosts | map('extract', hostvars, ['ansible_facts', 'kestrova']))) }}"
    csv: reports/fleet.csv
    markdown: reports/fleet.md
  delegate_to: localhost
  run_once: true
'''

RETURN = r'''
differing:
  description: For each host that differs from the majority on some product, those products as "Manufacturer/Name".
  returned: always
  type: dict
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_bytes
from ansible_collections.kestrova.fleet.plugins.module_utils.fleet_report import (
    csv_text, differing_hosts, entries_by_product, markdown_text)


def write_if_changed(module, path, text):
    data = to_bytes(text)
    if os.path.exists(path):
        with open(path, 'rb') as existing:
            if existing.read() == data:
                return False
    if not module.check_mode:
        folder = os.path.dirname(os.path.abspath(path))
        if not os.path.isdir(folder):
            os.makedirs(folder)
        temporary = path + '.part'
        with open(temporary, 'wb') as out:
            out.write(data)
        module.atomic_move(temporary, os.path.abspath(path))
    return True


def main():
    module = AnsibleModule(
        argument_spec=dict(
            facts=dict(type='dict', required=True),
            csv=dict(type='path', required=True),
            markdown=dict(type='path', required=True),
            title=dict(type='str', default='Kestrova fleet report'),
        ),
        supports_check_mode=True,
    )
    facts = module.params['facts']
    missing = sorted(host for host, value in facts.items() if not isinstance(value, dict))
    if missing:
        module.fail_json(msg='No kestrova facts for: %s. Run kestrova.fleet.inventory_facts first.'
                         % ', '.join(missing))
    differing = {}
    for key, row in entries_by_product(facts).items():
        for host in differing_hosts(row):
            differing.setdefault(host, []).append('%s/%s' % key)
    changed = write_if_changed(module, module.params['csv'], csv_text(facts))
    changed = write_if_changed(module, module.params['markdown'],
                               markdown_text(facts, module.params['title'])) or changed
    module.exit_json(changed=changed, differing=dict((h, sorted(p)) for h, p in differing.items()),
                     csv=module.params['csv'], markdown=module.params['markdown'])


if __name__ == '__main__':
    main()
