#!/usr/bin/env bash
# Writes app/StartupOrder.txt, the functions Zembrio.exe runs from its start
# until its main window has idled a while, in the order each first runs:
# the program's link puts them together at the front of its code
# (zembrio_startup_order in cmake/Zembrio.cmake). Run it again when
# start-up changes much (BENCH app.idle_rss_ratio grows); a list that has
# grown stale costs memory, never correctness.
#   startup-order.sh <win-build-dir>      (run under Xvfb, e.g. xvfb-run -a)
# The build folder's Zembrio.exe must be built. A second build with every
# function traced (tools/startup-trace.cpp) is made in <win-build-dir>/
# startup-trace (half a gigabyte, kept for the next run; delete it at will)
# and started twice in the build folder's Wine prefix: once so that its
# settings exist, then traced. Stops a Wine server running in that prefix.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bd=$(cd "$1" && pwd)
tb=$bd/startup-trace
prefix=x86_64-w64-mingw32-
[ -f "$bd/Zembrio.debug" ] || { echo "startup-order: build $bd/Zembrio.exe first" >&2; exit 1; }
mkdir -p "$tb"

# The traced build: the same sources and optimisation, every function
# calling the recorder; no debug information (the symbols suffice).
"${prefix}g++-posix" -O2 -c "$root/tools/startup-trace.cpp" -o "$tb/startup-trace.o"
if [ ! -f "$tb/build.ninja" ]; then
  cmake -S "$root" -B "$tb" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" \
    -DCMAKE_CXX_FLAGS=-finstrument-functions -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="$tb/startup-trace.o" >/dev/null
fi
rm -f "$tb/Zembrio.exe"  # linked again with the recorder just compiled
cmake --build "$tb" --target Zembrio -j "${JOBS:-$(nproc)}"

# Two starts in the build folder's prefix: the first leaves the settings a
# user's second start finds; the second is traced.
trace=$tb/trace.txt
rm -f "$trace"
export ZEMBRIO_TRACE_OUT="Z:${trace//\//\\}"
"$root/tools/wine-session.sh" "$bd" bash -c '
  source "$1/tools/wine-env.sh" "$2"
  ZEMBRIO_TRACE_OUT= "$WINELOADER" "$3/Zembrio.exe" >/dev/null 2>&1 </dev/null
  "$WINELOADER" "$3/Zembrio.exe" >/dev/null 2>&1 </dev/null' _ "$root" "$bd" "$tb"
[ -s "$trace" ] || { echo "startup-order: the traced program wrote no trace" >&2; exit 1; }

# Traced addresses to the traced build's function names, in trace order.
base=$("${prefix}objdump" -p "$tb/Zembrio.debug" | awk '/^ImageBase/ {print $2}')
# (Section symbols, ".text$name", are left out.)
"${prefix}nm" --defined-only "$tb/Zembrio.debug" | awk '$2 ~ /^[tT]$/ && $3 !~ /^\./ {print $1, $3}' |
  while read -r addr name; do printf '%x %s\n' $((16#$addr - 16#$base)) "$name"; done >"$tb/functions.txt"
awk 'FNR == NR {name[$1] = $2; next} {sub(/\r$/, "")} ($1 in name) {print name[$1]}' "$tb/functions.txt" "$trace" >"$tb/ran.txt"

# Kept: the names the program's own build holds as functions (the rest it
# inlines), each followed by its parts and copies the compiler made
# (name.part.0, name.cold, name.constprop.0...) and by the thunks that
# reach it through another base class.
"${prefix}nm" --defined-only "$bd/Zembrio.debug" | awk '$2 ~ /^[tT]$/ && $3 !~ /^\./ {print $3}' | sort -u >"$tb/symbols.txt"
{
  echo "# The functions Zembrio.exe runs at start-up, in the order each first runs;"
  echo "# written by tools/startup-order.sh (see there), read by the program's link."
  awk 'FNR == NR {
         have[$1] = 1; of = $1
         if (of ~ /^_ZThn[0-9]+_/) sub(/^_ZThn[0-9]+_/, "_Z", of)
         else if (of ~ /^_ZTv[0-9]+_n[0-9]+_/) sub(/^_ZTv[0-9]+_n[0-9]+_/, "_Z", of)
         else sub(/\..*/, "", of)
         if (of != $1) more[of] = more[of] "\n" $1
         next
       }
       !($1 in done) {
         done[$1] = 1
         if ($1 in have) print $1
         if ($1 in more) print substr(more[$1], 2)
       }' "$tb/symbols.txt" "$tb/ran.txt" | awk '!seen[$0]++'
} >"$root/app/StartupOrder.txt"
echo "startup-order: $(grep -vc '^#' "$root/app/StartupOrder.txt") functions in app/StartupOrder.txt"
