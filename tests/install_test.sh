#!/bin/sh
# The tool installed (cmake --install into a scratch prefix) finds its drawing module there:
# a picture is drawn, and a search answers.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
"$scratch/prefix/bin/cpu-widget-cli" search --format csv >/dev/null
"$scratch/prefix/bin/cpu-widget-cli" plot --chart scaling -o "$scratch/scaling.png" >/dev/null
test -s "$scratch/scaling.png"
# Moved as a whole, it still finds it.
mv "$scratch/prefix" "$scratch/moved"
"$scratch/moved/bin/cpu-widget-cli" budget --vary power=10:100:10 -o "$scratch/budget.svg" >/dev/null
test -s "$scratch/budget.svg"
echo "installed tool draws"
