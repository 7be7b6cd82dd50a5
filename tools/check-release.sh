#!/usr/bin/env bash
# Checks the shipped program of a Windows build tree: Zembrio.exe stripped,
# naming Zembrio.debug beside it, whose symbols resolve a crash report's
# addresses (tools/symbolise.sh).
#   check-release.sh <win-build-dir>
set -u
bd=$1
exe=$bd/Zembrio.exe
debug=$bd/Zembrio.debug
prefix=x86_64-w64-mingw32-
fail() { echo "check-release: $*" >&2; exit 1; }
[ -f "$exe" ] && [ -f "$debug" ] || fail "Zembrio.exe or Zembrio.debug missing in $bd"
sections=$("${prefix}objdump" -h "$exe")
grep -q '\.debug_' <<<"$sections" && fail "Zembrio.exe still holds debug information"
grep -q '\.gnu_debuglink' <<<"$sections" || fail "Zembrio.exe has no debug link"
"${prefix}objdump" -s -j .gnu_debuglink "$exe" | grep -q 'Zembrio.debu' || fail "the debug link does not name Zembrio.debug"
"${prefix}objdump" -h "$debug" | grep -q '\.debug_info' || fail "Zembrio.debug holds no debug information"
# Each section at a page boundary of the file, as in memory (the program's
# link): Wine then maps the image's pages instead of copying it whole.
while read -r _ name _ _ _ offset _; do
  case $name in .bss | .gnu_debuglink) continue ;; esac
  (( 16#$offset % 4096 == 0 )) || fail "section $name of Zembrio.exe is not at a page boundary of the file"
done < <(grep -E '^ +[0-9]+ ' <<<"$sections")
# The functions start-up runs lie at the front of the code, in the order of
# app/StartupOrder.txt: the code begins with one of them.
order=$(dirname "$0")/../app/StartupOrder.txt
if [ -f "$order" ]; then
  first=$("${prefix}nm" -n "$debug" | awk '$2 ~ /^[tT]$/ && $3 !~ /^\./ {print $3; exit}')
  grep -qxF -- "$first" "$order" || fail "Zembrio.exe's code does not begin with the start-up functions ($first)"
fi
size=$(stat -c %s "$exe")
[ "$size" -lt 10000000 ] || fail "Zembrio.exe is $size bytes"

# WinMain's address, written as the error dialog and the crash trace write it.
winmain=$("${prefix}nm" "$debug" | awk '$3 == "WinMain" {print $1}')
[ -n "$winmain" ] || fail "no WinMain among the symbols"
base=$("${prefix}objdump" -p "$debug" | awk '/^ImageBase/ {print $2}')
offset=$(printf '0x%x' $((16#$winmain - 16#$base + 5)))
report=$(printf 'Message: boom\nAddress: %016X\n  1 0x%016x in Zembrio (+%s)\n' $((16#$winmain + 5)) $((16#$winmain + 5)) "$offset")
out=$("$(dirname "$0")/symbolise.sh" "$debug" <<<"$report") || fail "symbolise.sh failed"
echo "$out"
[ "$(grep -c 'WinMain at .*Zembrio.cpp:[0-9]' <<<"$out")" -eq 1 ] ||
  fail "the three forms of WinMain's address did not resolve once to WinMain in Zembrio.cpp"
echo "Zembrio.exe: $size bytes, Zembrio.debug: $(stat -c %s "$debug") bytes"
