#!/usr/bin/env bash
# Starts Zembrio.exe from a Windows build tree under Wine.
set -u
bd=$(cd "$1" && pwd)
"$(dirname "$0")/wine-prefix.sh" "$bd" || exit 1
source "$(dirname "$0")/wine-env.sh" "$bd"
"$WINELOADER" "$bd/Zembrio.exe"
rc=$?
"$WINESERVER" -k >/dev/null 2>&1
exit $rc
