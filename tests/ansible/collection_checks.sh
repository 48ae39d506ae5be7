#!/usr/bin/env bash
# The collection's static checks: the ansible-test sanity tests that run
# offline, its validate-modules checker, ansible-doc for every module and the
# role, and a Python syntax and style check. `ansible-test sanity` installs
# the requirements of its other tests (pep8, pylint, yamllint, import,
# ansible-doc...) into virtual environments from the Python package index,
# which this machine cannot reach; validate-modules runs on Debian's
# voluptuous, and ansible-doc, pycodestyle and flake8 from Debian stand in.
# Exits 77 (skipped) without ansible-core.
set -euo pipefail
if ! command -v ansible-doc >/dev/null || ! command -v ansible-test >/dev/null; then
  echo "SKIPPED: ansible-core is not installed (scripts/setup installs it)."
  exit 77
fi
collection="$(cd "$(dirname "$0")/../../contrib/ansible/ansible_collections/kestrova/fleet" && pwd)"
export ANSIBLE_COLLECTIONS_PATH="$collection/../../.." ANSIBLE_NOCOLOR=1 LC_ALL=C.UTF-8
python=/usr/bin/python3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python_files=$(find "$collection/plugins" -name '*.py' | sort)
cd "$(dirname "$0")/../.."

echo "== python3 -m py_compile"
for file in $python_files; do "$python" -m py_compile "$file"; done
find "$collection" -name __pycache__ -type d -prune -exec rm -rf {} +

echo "== pycodestyle and flake8, configured as ansible-test's pep8 test"
# Modules import after their documentation strings, hence E402.
pycodestyle --max-line-length 160 --ignore E402,W503,W504,E741 $python_files tests/ansible/*.py tests/ansible/callback_plugins/*.py
flake8 --max-line-length 160 --extend-ignore E402,W503,W504,E741 $python_files tests/ansible/*.py tests/ansible/callback_plugins/*.py

echo "== the fleet report's rules"
"$python" tests/ansible/test_fleet_report.py

echo "== ansible-doc"
modules=$(cd "$collection/plugins/modules" && ls *.py | sed 's/\.py$//')
for module in $modules; do
  text=$(ansible-doc "kestrova.fleet.$module")
  grep -q "EXAMPLES:" <<<"$text" || { echo "kestrova.fleet.$module has no examples"; exit 1; }
  echo "kestrova.fleet.$module: documented"
done
ansible-doc -t role kestrova.fleet.install | grep -q kestrova_deb
echo "kestrova.fleet.install (role): documented"

echo "== playbook syntax"
printf -- '- hosts: all\n  roles:\n    - role: kestrova.fleet.install\n      kestrova_deb: kestrova.deb\n' >"$scratch/install.yml"
for playbook in "$collection/playbooks/fleet_report.yml" tests/ansible/fleet_e2e.yml "$scratch/install.yml"; do
  # Its warnings about the empty inventory are expected; errors are shown.
  ansible-playbook --syntax-check "$playbook" >/dev/null 2>"$scratch/stderr" || { cat "$scratch/stderr"; exit 1; }
done
echo "playbooks and the install role: syntax checked"

echo "== validate-modules (ansible-test's module and documentation checker)"
validate="$("$python" -c 'import ansible_test, os; print(os.path.dirname(ansible_test.__file__))')/_util/controller/sanity/validate-modules/validate.py"
report=$(cd "$collection" && "$python" "$validate" --format json --arg-spec --collection ansible_collections/kestrova/fleet \
           --collection-version 1.0.0 plugins/modules/*.py)
"$python" - "$report" <<'CHECK'
import json, sys
problems = [(name, item.get('code'), item.get('msg', item)) for name, found in json.loads(sys.argv[1]).items()
            for item in found['errors'] + found['warnings'] + found['traces']]
for problem in problems:
    print('%s: %s: %s' % problem)
sys.exit(1 if problems else 0)
CHECK
echo "validate-modules: no errors"

if git -C "$collection" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "== ansible-test sanity (the tests that need no downloads)"
  offline_tests=(action-plugin-docs compile empty-init future-import-boilerplate line-endings
                 metaclass-boilerplate no-assert no-basestring no-dict-iteritems no-get-exception
                 no-illegal-filenames no-main-display no-smart-quotes no-unicode-literals
                 replace-urlopen shebang symlinks use-argspec-type-path use-compat-six)
  (cd "$collection" && ansible-test sanity --local --python "$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
     $(printf -- '--test %s ' "${offline_tests[@]}") 2>&1 | grep -v 'locale' )
  status=${PIPESTATUS[0]}
  rm -rf "$collection/tests/output"
  [ "$status" -eq 0 ] || exit "$status"
fi
echo "collection checks passed"
