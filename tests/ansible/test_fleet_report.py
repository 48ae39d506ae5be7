"""The fleet report's majority rule and its two renderings, on hand-made facts."""

import csv
import importlib.util
import io
import os
import unittest

PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'contrib', 'ansible', 'ansible_collections',
                    'kestrova', 'fleet', 'plugins', 'module_utils', 'fleet_report.py')
loader_spec = importlib.util.spec_from_file_location('fleet_report', PATH)
fleet_report = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(fleet_report)


def product(name, version='1.0', active=('VST3',), quarantined=(), manufacturer='Acme'):
    return dict(name=name, manufacturer=manufacturer, version=version, active_formats=list(active),
                quarantined_formats=list(quarantined))


def fleet(**hosts):
    return dict((host, dict(products=products)) for host, products in hosts.items())


class MajorityTests(unittest.TestCase):
    def test_differing_hosts(self):
        cases = [
            ('all agree', fleet(a=[product('X')], b=[product('X')], c=[product('X')]), []),
            ('one lacks it', fleet(a=[product('X')], b=[], c=[product('X')]), ['b']),
            ('one newer', fleet(a=[product('X')], b=[product('X', '1.1')], c=[product('X')]), ['b']),
            ('one has VST2 in quarantine',
             fleet(a=[product('X', active=('VST3',), quarantined=('VST2',))], b=[product('X')], c=[product('X')]),
             ['a']),
            # Only one host has it: the majority is "absent".
            ('one has it', fleet(a=[product('X')], b=[], c=[]), ['a']),
            # Two against two: no majority, every host differs.
            ('a tie', fleet(a=[product('X')], b=[product('X')], c=[], d=[]), ['a', 'b', 'c', 'd']),
        ]
        for name, facts, expected in cases:
            table = fleet_report.entries_by_product(facts)
            self.assertEqual(fleet_report.differing_hosts(table[('Acme', 'X')]), expected, name)

    def test_csv_has_every_host_and_product(self):
        facts = fleet(b=[product('X', '2.0', ('AU', 'VST3'))], a=[product('Y')])
        rows = list(csv.DictReader(io.StringIO(fleet_report.csv_text(facts))))
        self.assertEqual([(r['host'], r['product'], r['present'], r['formats'], r['version']) for r in rows],
                         [('a', 'X', 'no', '', ''), ('b', 'X', 'yes', 'AU VST3', '2.0'),
                          ('a', 'Y', 'yes', 'VST3', '1.0'), ('b', 'Y', 'no', '', '')])

    def test_markdown_names_the_differences(self):
        facts = fleet(a=[product('X|Y')], b=[product('X|Y')], c=[product('X|Y', '1.1')])
        text = fleet_report.markdown_text(facts)
        self.assertIn('| Product | Manufacturer | a | b | c | Differs from the majority |', text)
        self.assertIn('| X\\|Y | Acme | VST3 · 1.0 | VST3 · 1.0 | VST3 · 1.1 | c |', text)
        self.assertIn('  - X|Y (Acme): VST3 · 1.1; most hosts: VST3 · 1.0', text)


if __name__ == '__main__':
    unittest.main()
