#!/usr/bin/env bash
# Resolves the code addresses of a crash report against Zembrio.debug (the
# symbols kept beside the stripped Zembrio.exe): each address of the
# program's image, written as 0x0000000140001530, as 0000000140001530 (the
# error dialog's "Address:") or as a module offset "Zembrio (+0x1530)",
# becomes a line "<address> <function> at <file>:<line>".
#   symbolise.sh <Zembrio.debug> [report]    (the report from standard input when no file)
set -u
debug=$1
report=${2:-/dev/stdin}
prefix=x86_64-w64-mingw32-
# The image's place in memory, from the headers.
read -r base size < <("${prefix}objdump" -p "$debug" |
  awk '/^ImageBase/ {b=$2} /^SizeOfImage/ {s=$2} END {print b, s}')
[ -n "$base" ] && [ -n "$size" ] || { echo "symbolise: $debug is no program image" >&2; exit 1; }
lo=$((16#$base)); hi=$((lo + 16#$size))
addresses=()
while IFS= read -r line; do
  for a in $(grep -oE '\(\+0x[0-9a-fA-F]+\)' <<<"$line" | tr -d '(+)'); do
    addresses+=("$(printf '0x%x' $((lo + a)))")
  done
  for a in $(grep -oE '(0x)?[0-9a-fA-F]{16}' <<<"$line"); do
    [[ $a == 0x* ]] || a=0x$a
    v=$((a))
    [ "$v" -ge "$lo" ] && [ "$v" -lt "$hi" ] && addresses+=("$(printf '0x%x' "$v")")
  done
done <"$report"
[ ${#addresses[@]} -gt 0 ] || exit 0
# Each address once, in the order of the report.
mapfile -t addresses < <(printf '%s\n' "${addresses[@]}" | awk '!seen[$0]++')
"${prefix}addr2line" -e "$debug" -f -C -i -p -a "${addresses[@]}"
