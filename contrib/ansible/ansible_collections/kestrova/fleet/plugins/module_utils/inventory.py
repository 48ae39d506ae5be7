# -*- coding: utf-8 -*-
# Copyright: Kestrova contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""Host facts from the JSON documents kestrova-cli prints."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import datetime

# Kestrova dates count seconds from 2001-01-01 00:00:00 UTC.
REFERENCE_DATE = datetime.datetime(2001, 1, 1)


def iso_date(seconds):
    if seconds is None:
        return None
    return (REFERENCE_DATE + datetime.timedelta(seconds=seconds)).strftime('%Y-%m-%dT%H:%M:%SZ')


def is_quarantined(bundle):
    return bool(bundle.get('quarantinePath')) and bool(bundle.get('quarantineOperationID'))


def product_facts(product):
    bundles = product.get('bundles') or []
    active = sorted(set(b['format'] for b in bundles if not is_quarantined(b)))
    if not bundles:
        # A product the Audio Unit registry lists, hosted by a shell bundle.
        active = sorted(product.get('formats') or [])
    quarantined = sorted(set(b['format'] for b in bundles if is_quarantined(b)))
    return dict(
        name=product['name'],
        manufacturer=product['manufacturer'],
        version=product.get('version', ''),
        formats=sorted(product.get('formats') or []),
        active_formats=active,
        quarantined_formats=quarantined,
        architecture=product.get('architecture', ''),
        status=product.get('status', ''),
        protected=bool(product.get('isProtected')),
        bundles=len(bundles),
    )


def count_by(items, key):
    counts = {}
    for item in items:
        values = item[key] if isinstance(item[key], list) else [item[key]]
        for value in values:
            counts[value] = counts.get(value, 0) + 1
    return counts


def duplicate_facts(document):
    """Each duplicate group of `duplicates --json`: the product, the format, its kind and its copies."""
    return [dict(name=g['pluginName'], manufacturer=g['manufacturer'], format=g['format'], kind=g['kind'],
                 copies=[dict(path=m['path'], version=m['version'], proposal=m['disposition'])
                         for m in g['members']])
            for g in (document or {}).get('groups') or []]


def inventory_facts(products, state, runs, rules, folders, duplicates=None):
    """The `kestrova` host fact from list, state check, cleanup runs, rules, folders and duplicates."""
    facts = [product_facts(p) for p in products]
    facts.sort(key=lambda p: (p['manufacturer'].casefold(), p['name'].casefold()))
    bundle_formats = {}
    bundle_architectures = {}
    for product in products:
        for bundle in product.get('bundles') or []:
            bundle_formats[bundle['format']] = bundle_formats.get(bundle['format'], 0) + 1
            arch = bundle.get('architecture', '')
            bundle_architectures[arch] = bundle_architectures.get(arch, 0) + 1
    counts = state.get('counts') or {}
    return dict(
        products=facts,
        product_count=len(facts),
        bundle_count=sum(p['bundles'] for p in facts),
        formats=bundle_formats,
        architectures=bundle_architectures,
        statuses=count_by(facts, 'status'),
        quarantined_bundles=counts.get('quarantinedBundles', 0),
        trash_records=counts.get('trashRecords', 0),
        protected_products=counts.get('protectedProducts', 0),
        last_scan=iso_date(state.get('lastScanDate')),
        cleanup_runs=[dict(id=r['id'], preset=r['preset'], status=r['status'], bundles=len(r.get('selections') or []),
                           in_quarantine=r['bundlesInQuarantine'], created=iso_date(r.get('createdAt')))
                      for r in runs],
        rules=sorted(r['manufacturer'] for r in rules if r['enabled']),
        authorized_folders=folders,
        duplicates=duplicate_facts(duplicates),
    )
