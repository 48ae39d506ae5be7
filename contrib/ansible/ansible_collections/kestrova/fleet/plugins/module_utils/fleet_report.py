# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""The fleet report: which host has which product in which formats and
versions, and which hosts differ from the majority.

A host's entry for a product is its version and the formats in service and in
quarantine, or absent. The majority entry is the one more than half of the
hosts share; a host whose entry is another differs. With no such entry every
host differs.
"""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import csv
import io

ABSENT = None
CSV_FIELDS = ('host', 'manufacturer', 'product', 'present', 'version', 'formats', 'quarantined_formats',
              'matches_majority')


def product_key(product):
    return (product['manufacturer'], product['name'])


def entry(product):
    return (product['version'], tuple(product['active_formats']), tuple(product['quarantined_formats']))


def entries_by_product(facts_by_host):
    """{(manufacturer, name): {host: entry or ABSENT}} over every host."""
    table = {}
    for host, facts in facts_by_host.items():
        for product in facts.get('products') or []:
            table.setdefault(product_key(product), {})[host] = entry(product)
    hosts = sorted(facts_by_host)
    for row in table.values():
        for host in hosts:
            row.setdefault(host, ABSENT)
    return table


def majority(row):
    """The entry more than half of the hosts share, and whether there is one."""
    counts = {}
    for value in row.values():
        counts[value] = counts.get(value, 0) + 1
    for value, count in counts.items():
        if count * 2 > len(row):
            return value, True
    return ABSENT, False


def differing_hosts(row):
    value, found = majority(row)
    return sorted(host for host, held in row.items() if not found or held != value)


def sort_key(key):
    return (key[0].casefold(), key[1].casefold(), key)


def cell_text(value):
    if value is ABSENT:
        return '—'
    version, active, quarantined = value
    text = ' '.join(active) if active else 'none in service'
    if version:
        text += ' · ' + version
    if quarantined:
        text += ' (quarantined: %s)' % ' '.join(quarantined)
    return text


def csv_text(facts_by_host):
    table = entries_by_product(facts_by_host)
    out = io.StringIO()
    writer = csv.writer(out, lineterminator='\n')
    writer.writerow(CSV_FIELDS)
    for key in sorted(table, key=sort_key):
        row = table[key]
        differing = differing_hosts(row)
        for host in sorted(row):
            value = row[host]
            present = value is not ABSENT
            writer.writerow([host, key[0], key[1], 'yes' if present else 'no',
                             value[0] if present else '',
                             ' '.join(value[1]) if present else '',
                             ' '.join(value[2]) if present else '',
                             'no' if host in differing else 'yes'])
    return out.getvalue()


def markdown_cell(text):
    return text.replace('|', '\\|')


def markdown_text(facts_by_host, title='Kestrova fleet report'):
    table = entries_by_product(facts_by_host)
    hosts = sorted(facts_by_host)
    lines = ['# %s' % title, '',
             '%d hosts, %d products. Each cell: formats in service · version; — where the product is absent.'
             % (len(hosts), len(table)), '']
    lines.append('| Product | Manufacturer | %s | Differs from the majority |' % ' | '.join(hosts))
    lines.append('|' + ' --- |' * (len(hosts) + 3))
    disagreements = []
    for key in sorted(table, key=sort_key):
        row = table[key]
        differing = differing_hosts(row)
        value, found = majority(row)
        cells = [markdown_cell(cell_text(row[host])) for host in hosts]
        lines.append('| %s | %s | %s | %s |' % (markdown_cell(key[1]), markdown_cell(key[0]), ' | '.join(cells),
                                                ', '.join(differing)))
        for host in differing:
            disagreements.append((host, key, row[host], value if found else None, found))
    lines.append('')
    lines.append('## Hosts that differ from the majority')
    lines.append('')
    if not disagreements:
        lines.append('Every host agrees with the majority on every product.')
    for host in hosts:
        mine = [d for d in disagreements if d[0] == host]
        if not mine:
            continue
        lines.append('- **%s**' % host)
        for _host, key, held, usual, found in mine:
            lines.append('  - %s (%s): %s; %s' % (key[1], key[0], cell_text(held),
                                                  'most hosts: ' + cell_text(usual) if found else 'no majority'))
    return '\n'.join(lines) + '\n'
