#!/usr/bin/env python3
"""The Ansible collection end to end over three sandbox studio machines.

Each "host" is a demo tree of its own (connection local, its own --root and
--home and session helper), varied so that the fleet report has differences
to show. The playbook authorizes, scans, previews and runs a preset on two
hosts, restores the run on one and writes the report. Then: the report must
match each sandbox's `list --json`, a second run must change nothing, and a
run in check mode must move nothing.

Usage: fleet_e2e.py KESTROVA_CLI. Exits 77 (skipped) without ansible-playbook.
"""

import csv
import json
import os
import plistlib
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
COLLECTIONS = os.path.join(HERE, '..', '..', 'contrib', 'ansible')
HOSTS = ('studio-a', 'studio-b', 'studio-c')
PRESET_HOSTS = ('studio-a', 'studio-b')
RESTORE_HOSTS = ('studio-a',)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


class Studio:
    def __init__(self, cli, folder, name):
        self.cli = cli
        self.name = name
        self.demo = os.path.join(folder, name)
        self.session = os.path.join(folder, name + '-session')
        self.environment = {'KESTROVA_HELPER_MODE': 'session', 'KESTROVA_HELPER_SESSION_DIR': self.session}

    def kestrova(self, *arguments):
        command = [self.cli, '--root', self.root, '--home', self.home,
                   '--au-registry', self.registry] + list(arguments)
        return run(command, env=dict(os.environ, **self.environment))

    @property
    def root(self):
        return os.path.join(self.demo, 'root')

    @property
    def home(self):
        return os.path.join(self.demo, 'home')

    @property
    def registry(self):
        return os.path.join(self.demo, 'au-registry.json')

    def products(self):
        listed = self.kestrova('list', '--json')
        check(listed.returncode == 0, '%s: list --json failed: %s' % (self.name, listed.stderr))
        return json.loads(listed.stdout)

    def files(self):
        """Every path below the sandbox's root and home, for telling whether anything moved."""
        found = set()
        for top in (self.root, self.home):
            for folder, folders, names in os.walk(top):
                for name in folders + names:
                    found.add(os.path.relpath(os.path.join(folder, name), self.demo))
        return found


def make_demo(studio):
    made = run([studio.cli, 'demo', '--output', studio.demo])
    check(made.returncode == 0, 'demo: %s' % made.stderr)
    clap = os.path.join(studio.root, 'Library/Audio/Plug-Ins/CLAP')
    if studio.name == 'studio-b':
        # A machine where one synth was never installed.
        surge = os.path.join(clap, 'Surge XT.clap')
        shutil.rmtree(surge) if os.path.isdir(surge) else os.remove(surge)
    if studio.name == 'studio-c':
        # A newer Diva than the rest of the fleet.
        info = os.path.join(clap, 'Diva.clap/Contents/Info.plist')
        with open(info, 'rb') as stream:
            plist = plistlib.load(stream)
        plist['CFBundleShortVersionString'] = '1.4.8'
        with open(info, 'wb') as stream:
            plistlib.dump(plist, stream)


def write_inventory(path, studios, python):
    hosts = {}
    for studio in studios:
        hosts[studio.name] = {
            'ansible_connection': 'local',
            'ansible_python_interpreter': python,
            'kestrova_cli': studio.cli,
            'kestrova_root': studio.root,
            'kestrova_home': studio.home,
            'kestrova_au_registry': studio.registry,
            'kestrova_environment': studio.environment,
        }
    inventory = {'all': {'children': {
        'studios': {'hosts': hosts},
        'preset_hosts': {'hosts': dict((name, None) for name in PRESET_HOSTS)},
        'restore_hosts': {'hosts': dict((name, None) for name in RESTORE_HOSTS)},
        'rule_hosts': {'hosts': {'studio-c': None}},
    }}}
    with open(path, 'w') as stream:
        json.dump(inventory, stream, indent=2)


def playbook(folder, inventory, *extra, **options):
    environment = dict(os.environ,
                       ANSIBLE_COLLECTIONS_PATH=os.path.abspath(COLLECTIONS),
                       ANSIBLE_STDOUT_CALLBACK='fleet_json',
                       ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback_plugins'),
                       ANSIBLE_LOCAL_TEMP=os.path.join(folder, 'ansible-tmp'),
                       ANSIBLE_REMOTE_TMP=os.path.join(folder, 'ansible-remote-tmp'),
                       ANSIBLE_HOME=os.path.join(folder, 'ansible-home'),
                       ANSIBLE_NOCOLOR='1',
                       ANSIBLE_RETRY_FILES_ENABLED='0')
    command = ['ansible-playbook', '-i', inventory, options.get('name', os.path.join(HERE, 'fleet_e2e.yml')),
               '-e', 'kestrova_report_dir=' + os.path.join(folder, 'report')] + list(extra)
    done = run(command, env=environment, cwd=folder)
    try:
        output = json.loads(done.stdout)
    except ValueError:
        raise Failure('ansible-playbook printed no JSON (exit %d):\n%s\n%s' % (done.returncode, done.stdout,
                                                                               done.stderr))
    if done.returncode != 0:
        raise Failure('ansible-playbook %s failed (exit %d):\n%s\n%s'
                      % (' '.join(extra), done.returncode, failed_tasks(output), done.stderr))
    return output


def failed_tasks(output):
    lines = []
    for play in output.get('plays', []):
        for task in play.get('tasks', []):
            for host, result in task.get('hosts', {}).items():
                if result.get('failed'):
                    lines.append('%s / %s: %s' % (host, task['task']['name'], result.get('msg')))
    return '\n'.join(lines)


def task_results(output, name):
    for play in output['plays']:
        for task in play['tasks']:
            if task['task']['name'] == name:
                return task['hosts']
    raise Failure('no task named %r ran' % name)


def expected_rows(products):
    """What the report must say for one host, from its own list --json."""
    rows = {}
    for product in products:
        bundles = product.get('bundles') or []
        held = [b for b in bundles if b.get('quarantinePath') and b.get('quarantineOperationID')]
        # Products only the Audio Unit registry lists have no bundles of their own.
        in_service = [b['format'] for b in bundles if b not in held] if bundles else product['formats']
        rows[(product['manufacturer'], product['name'])] = (
            product['version'], ' '.join(sorted(set(in_service))), ' '.join(sorted(set(b['format'] for b in held))))
    return rows


def check_report(folder, studios):
    with open(os.path.join(folder, 'report', 'fleet.csv'), newline='') as stream:
        rows = list(csv.DictReader(stream))
    for studio in studios:
        reported = dict(((r['manufacturer'], r['product']), (r['version'], r['formats'], r['quarantined_formats']))
                        for r in rows if r['host'] == studio.name and r['present'] == 'yes')
        expected = expected_rows(studio.products())
        check(reported == expected, '%s: the report says\n%s\nbut list --json says\n%s'
              % (studio.name, sorted(reported.items()), sorted(expected.items())))
    by_key = dict(((r['host'], r['product']), r) for r in rows)
    # The varied machines differ from the majority where they were varied.
    check(by_key[('studio-b', 'Surge XT')]['present'] == 'no', 'studio-b has no Surge XT')
    check(by_key[('studio-b', 'Surge XT')]['matches_majority'] == 'no', 'studio-b differs on Surge XT')
    check(by_key[('studio-c', 'Diva')]['version'] == '1.4.8', 'studio-c has Diva 1.4.8')
    check(by_key[('studio-c', 'Diva')]['matches_majority'] == 'no', 'studio-c differs on Diva')
    check(by_key[('studio-a', 'Diva')]['matches_majority'] == 'yes', 'studio-a agrees on Diva')
    # The preset took VST2 out of service on studio-b only: studio-a's run was put back.
    verb = [r for r in rows if r['product'] == 'ValhallaVintageVerb']
    check(by_key[('studio-b', 'ValhallaVintageVerb')]['quarantined_formats'] == 'VST2',
          'studio-b has its VST2 in quarantine: %s' % verb)
    check(by_key[('studio-a', 'ValhallaVintageVerb')]['quarantined_formats'] == '',
          'studio-a has its VST2 back: %s' % verb)
    with open(os.path.join(folder, 'report', 'fleet.md')) as stream:
        markdown = stream.read()
    check('| Product | Manufacturer | studio-a | studio-b | studio-c | Differs from the majority |' in markdown,
          'the Markdown table has one column per host:\n' + markdown)
    check('## Hosts that differ from the majority' in markdown, 'the Markdown report lists the differences')


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if shutil.which('ansible-playbook') is None:
        print('SKIPPED: ansible-playbook is not installed (scripts/setup installs ansible-core).')
        return 77
    cli = os.path.abspath(sys.argv[1])
    folder = tempfile.mkdtemp(prefix='kestrova-fleet-')
    studios = [Studio(cli, folder, name) for name in HOSTS]
    try:
        for studio in studios:
            make_demo(studio)
        inventory = os.path.join(folder, 'hosts.json')
        write_inventory(inventory, studios, sys.executable)

        first = playbook(folder, inventory)
        ran = task_results(first, 'Run the preset, once per host')
        for name in PRESET_HOSTS:
            check(ran[name].get('moved', 0) > 0 and ran[name].get('run_id'),
                  '%s: the preset moved bundles and named its run: %s' % (name, ran[name]))
        kept = task_results(first, "Keep the preset's bundles in quarantine where the run stays")
        check(not kept['studio-b'].get('changed') and kept['studio-b'].get('would_move') == 0,
              'studio-b: running the preset again moves nothing: %s' % kept['studio-b'])
        restored = task_results(first, "Put the run's bundles back")
        check(restored['studio-a'].get('restored') == ran['studio-a']['moved'],
              'studio-a: the restore put back what the run moved: %s' % restored['studio-a'])
        check_report(folder, studios)
        print('first run: report matches every host')

        second = playbook(folder, inventory)
        changed = dict((host, stats['changed']) for host, stats in second['stats'].items())
        check(all(count == 0 for count in changed.values()), 'a second run changes nothing: %s' % changed)
        print('second run: changed=0 on every host')

        # The collection's own report playbook writes the same report.
        playbook(folder, inventory, '-e', 'kestrova_hosts=studios',
                 '-e', 'kestrova_report_dir=' + os.path.join(folder, 'collection-report'),
                 name='kestrova.fleet.fleet_report')
        for mine, theirs in (('fleet.csv', 'kestrova-fleet.csv'), ('fleet.md', 'kestrova-fleet.md')):
            with open(os.path.join(folder, 'report', mine)) as a, \
                    open(os.path.join(folder, 'collection-report', theirs)) as b:
                check(a.read() == b.read(), 'kestrova.fleet.fleet_report writes the same %s' % mine)
        print('kestrova.fleet.fleet_report: the same report')

        before = dict((s.name, (s.files(), s.products())) for s in studios)
        checked = playbook(folder, inventory, '--check', '-e', 'kestrova_preset=auOnly')
        previewed = task_results(checked, 'Run the preset, once per host')
        for name in PRESET_HOSTS:
            check(previewed[name].get('changed') and previewed[name].get('would_move', 0) > 0,
                  '%s: check mode previews what would move: %s' % (name, previewed[name]))
        for studio in studios:
            check((studio.files(), studio.products()) == before[studio.name],
                  '%s: check mode moved nothing' % studio.name)
        print('check mode: previews on the preset hosts, nothing moved')
        return 0
    except Failure as failure:
        print('FAILED: %s' % failure)
        return 1
    finally:
        for studio in studios:
            if os.path.isdir(studio.demo):
                studio.kestrova('helper', 'disable')
        if os.environ.get('KESTROVA_KEEP_FLEET_TEST'):
            print('kept ' + folder)
        else:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
