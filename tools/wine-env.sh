# Sourced: sets up a quiet, self-contained Wine environment for a build dir.
#   source wine-env.sh <build-dir>
_bd=$1
export WINEPREFIX="$_bd/wineprefix"
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
# Wine's own messages are off; ZEMBRIO_WINEDEBUG turns channels on to look
# into a failure (e.g. ZEMBRIO_WINEDEBUG=err+all).
export WINEDEBUG=${ZEMBRIO_WINEDEBUG:--all}
export WINEARCH=win64
# No Mono/Gecko installers, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# A home of our own so nothing reaches the host's desktop or trash.
export HOME="$_bd/winehome"
mkdir -p "$HOME"
# A fixed locale: ANSI code page 1252, OEM 437.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset _bd
