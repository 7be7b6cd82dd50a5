#!/usr/bin/env bash
# Saves a screenshot of Zembrio's main window (run under Xvfb).
#   shot.sh <win-build-dir> <out.png>
set -u
bd=$(cd "$1" && pwd); out=$2
"$(dirname "$0")/wine-prefix.sh" "$bd" || exit 1
source "$(dirname "$0")/wine-env.sh" "$bd"
"$WINELOADER" "$bd/Zembrio.exe" >/dev/null 2>&1 </dev/null &
wid=
for _ in $(seq 1 150); do
  wid=$(xdotool search --onlyvisible --name '^Zembrio$' 2>/dev/null | head -1)
  [ -n "$wid" ] && break
  sleep 0.2
done
sleep 2
rc=0
if [ -n "$wid" ]; then
  import -window "$wid" "$out" && echo "saved $out" || rc=1
else
  echo "Zembrio's window did not appear" >&2; rc=1
fi
"$WINESERVER" -k >/dev/null 2>&1
wait
exit $rc
