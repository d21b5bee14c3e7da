#!/bin/sh
# The documented install command (docs/python.md) in a fresh venv over Debian's Python, then
# the package imported and used from outside the source tree.
# Usage: install_test.sh SOURCE_DIR WORK_DIR
set -eu
source_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
/usr/bin/python3 -m venv --system-site-packages "$work/env"
cd "$source_dir"
"$work/env/bin/pip" install --no-build-isolation --no-index .
cd "$work"
"$work/env/bin/python" - <<'PY'
import os
import cpuwidget
import cpuwidget.dask

assert "site-packages" in cpuwidget.__file__, cpuwidget.__file__
assert not cpuwidget.__file__.startswith(os.environ.get("PWD", "/nowhere") + "/build")
best = cpuwidget.search(memory="3d", transistor="HP", node="32nm")
assert best["cores"][0] == 56 and best["speedup"][0] > 150, best
print("imported", cpuwidget.__file__)
PY
