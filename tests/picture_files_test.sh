#!/bin/sh
# Pictures written as a model file is: whole or not at all under a file-size limit (a message
# and exit status 1, no temporary file left), a symbolic link's target written with the link
# kept, the old file's permissions kept; and a model file whose name is not UTF-8 drawn from.
# Usage: picture_files_test.sh CPU_WIDGET_CLI
set -u
cli=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*"; exit 1; }

for command in "pareto" "sensitivity" "budget --vary power=10:200:10" "plot" \
               "plot --chart scaling"; do
  for picture in x.svg x.png; do
    rm -f "$scratch"/*
    # shellcheck disable=SC2086
    (ulimit -f 4; exec "$cli" $command -o "$scratch/$picture" >/dev/null 2>"$scratch/err")
    status=$?
    [ $status -eq 1 ] || fail "$command -o $picture under ulimit -f 4: status $status"
    grep -q "^cpu-widget-cli: cannot write .*$picture: File too large$" "$scratch/err" ||
      fail "$command -o $picture: $(cat "$scratch/err")"
    [ "$(ls "$scratch" | grep -cv '^err$')" -eq 0 ] ||
      fail "$command -o $picture left: $(ls "$scratch")"
  done
done

# A link to a file of mode 600: the target gets the picture and keeps its mode; the link stays.
mkdir "$scratch/real" && echo old > "$scratch/real/target.svg" &&
  chmod 600 "$scratch/real/target.svg" && ln -s real/target.svg "$scratch/link.svg"
"$cli" pareto -o "$scratch/link.svg" >/dev/null || fail "pareto onto a link failed"
[ -L "$scratch/link.svg" ] || fail "the link was replaced"
grep -q '<svg' "$scratch/real/target.svg" || fail "the link's target was not written"
[ "$(stat -c %a "$scratch/real/target.svg")" = 600 ] ||
  fail "mode $(stat -c %a "$scratch/real/target.svg"), not 600"
[ "$(ls "$scratch/real")" = target.svg ] || fail "left: $(ls "$scratch/real")"

# model export the same way.
"$cli" model export -o "$scratch/link.svg" || fail "model export onto a link failed"
[ -L "$scratch/link.svg" ] && grep -q '^format_version' "$scratch/real/target.svg" &&
  [ "$(stat -c %a "$scratch/real/target.svg")" = 600 ] || fail "model export replaced the link"

# A model file named in Latin-1, its name in the picture's caption.
model=$(printf '%s/mod\351le.toml' "$scratch")
printf 'format_version = 1\nextends = "built-in"\n' > "$model"
for command in "pareto" "plot" "sensitivity"; do
  # shellcheck disable=SC2086
  "$cli" $command --model "$model" -o "$scratch/named.svg" >/dev/null 2>"$scratch/err" ||
    fail "$command with a Latin-1 model file name: $(cat "$scratch/err")"
done
echo "pictures are written whole, through links, keeping their mode, whatever the model's name"
