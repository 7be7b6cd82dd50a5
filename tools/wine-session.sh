#!/usr/bin/env bash
# Runs a command (a test or benchmark run) inside one Wine session of the
# build tree's prefix that lasts the whole command:
#   wine-session.sh <build-dir> <command> [args...]
# Without it every Windows program of the run starts a session of its own:
# Wine starts its server for one program, and the moment that program ends
# the server ends the session (the system's own processes are told to quit)
# and exits a second or two later. The next test program, started a moment
# after the last one ended, then starts while the old session is being torn
# down, or has to set up a new one (boot, services, devices); a program
# caught in that hand-over could end at start without running a test. Here
# the server is started once, kept alive however long no program runs, and
# the session is set up before the first program; the server is stopped when
# the command ends (and if it is interrupted). Exits with the command's code.
set -u
mkdir -p "$1"
build_dir=$(cd "$1" && pwd); shift
tools=$(cd "$(dirname "$0")" && pwd)
source "$tools/wine-env.sh" "$build_dir"
"$tools/wine-prefix.sh" "$build_dir" || exit 1

# A server left from an earlier, interrupted run ends first: it may belong
# to another display.
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w >/dev/null 2>&1
stop() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# -p: persistent, the server stays until it is stopped.
if ! "$WINESERVER" -p >/dev/null 2>&1; then
  echo "wine-session: the Wine server did not start" >&2
  exit 1
fi
# Sets up the session (boot, services) before the first program, which then
# finds it ready like every other one.
if ! "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null; then
  echo "wine-session: the Wine session did not start" >&2
  exit 1
fi
"$@"
