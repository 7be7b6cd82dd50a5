#!/usr/bin/env bash
# Runs a Windows executable under Wine with the build tree's own prefix.
#   wine-run.sh <build-dir> <program.exe> [args...]
# The prefix is created on first use. Output goes through temporary files:
# Wine's background processes inherit the first process's stdout/stderr, and
# a pipe held open by them would keep ctest waiting.
set -u
mkdir -p "$1"
build_dir=$(cd "$1" && pwd); shift
exe=$1; shift

source "$(dirname "$0")/wine-env.sh" "$build_dir"
"$(dirname "$0")/wine-prefix.sh" "$build_dir" || exit 1

out=$(mktemp "$build_dir/wine-out.XXXXXX")
err=$(mktemp "$build_dir/wine-err.XXXXXX")
"$WINELOADER" "$exe" "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
# ctest shows neither the exit code nor that a program printed nothing.
if [ $rc != 0 ]; then
  [ -s "$out" ] || [ -s "$err" ] || silent=", without any output"
  echo "wine-run: $(basename "$exe") ended with exit code $rc${silent:-}" >&2
fi
rm -f "$out" "$err"
exit $rc
