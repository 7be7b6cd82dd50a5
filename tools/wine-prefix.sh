#!/usr/bin/env bash
# Creates the build tree's Wine prefix once (safe to call concurrently).
#   wine-prefix.sh <build-dir>
set -u
build_dir=$(cd "$1" && pwd)
source "$(dirname "$0")/wine-env.sh" "$build_dir"
# Raised whenever the settings below change, so that prefixes made before
# take them on the next run.
ready="$WINEPREFIX/.zembrio-ready-2"
[ -f "$ready" ] && exit 0
mkdir -p "$build_dir"
exec 9>"$build_dir/.wineprefix.lock"
flock 9
[ -f "$ready" ] && exit 0

"$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
# Wine's own fonts, so Tahoma, Marlett and "MS Shell Dlg" are real.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon; do
  [ -e "$f" ] && cp -f "$f" "$fonts/"
done
# Classic look (no visual theme) so pictures and measurements are stable;
# a crash ends the program with a trace instead of a dialog that waits;
# no window manager decorations from X: Wine draws its own frames.
# X focus events do not activate windows (UseTakeFocus stays at Wine's
# default): without a window manager every activation moves the X focus,
# and if its focus event also activated the window, two windows activated
# one after the other would take the focus from each other for ever, the
# first one's late focus event undoing the second activation.
# ZEMBRIO_VISUAL_STYLE=light makes a prefix with Wine's own visual style
# active instead (the themed painting tests run once that way).
if [ "${ZEMBRIO_VISUAL_STYLE:-}" = light ]; then
  theme_settings='"ThemeActive"="1"'  # Wine's defaults name the style file, colour and size
else
  theme_settings='"ThemeActive"="0"'
fi
# ZEMBRIO_LOG_PIXELS=<dots per inch> makes a prefix whose screen has that
# many dots per inch instead of 96 (the tests of scaled windows run once at
# 144 that way).
dpi_settings=
if [ -n "${ZEMBRIO_LOG_PIXELS:-}" ]; then
  dpi=$(printf 'dword:%08x' "$ZEMBRIO_LOG_PIXELS")
  dpi_settings="[HKEY_CURRENT_USER\\Control Panel\\Desktop]
\"LogPixels\"=$dpi

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]
\"LogPixels\"=$dpi
"
fi
cat >"$build_dir/prefix-settings.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
${theme_settings}

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"
"UseTakeFocus"=-

${dpi_settings}
REG
reg_win="Z:$(echo "$build_dir/prefix-settings.reg" | sed 's|/|\\|g')"
"$WINELOADER" regedit /s "$reg_win" >/dev/null 2>&1 </dev/null
# Settings take effect only after the server restarts.
"$WINESERVER" -w >/dev/null 2>&1
"$WINESERVER" -k >/dev/null 2>&1
touch "$ready"
