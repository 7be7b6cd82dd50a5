#!/usr/bin/env bash
# Shuts down the wineserver of a build tree's prefix so nothing lingers.
[ -d "$1" ] || exit 0
source "$(dirname "$0")/wine-env.sh" "$(cd "$1" && pwd)"
"$WINESERVER" -k >/dev/null 2>&1
exit 0
