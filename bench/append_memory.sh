#!/usr/bin/env bash
# Peak memory of a program appended to a file, beside a program of the same size that replaces
# its file: an append is gathered in an unnamed temporary file and copied to the end of the
# program in fixed-size pieces, so its memory stays flat however long the program.
#   about 700 MB appended     peak RSS below 12 MB
#   about 700 MB replaced     peak RSS below 12 MB
# Usage: bench/append_memory.sh [BUILD_DIR] [SERIALS]   (a Release build; default build-release,
# 380000 serial numbers, about 700 MB; needs twice that on the disk of the temporary folders)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-release}/bin/stylor-cli")
serials=${2:-380000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp fonts/BasicFont.fnt "$work/"
cd "$work"

peak() {  # label, stylor-cli arguments...
  local label=$1; shift
  local rss_kb
  rss_kb=$( { /usr/bin/time -f '%M' "$cli" "$@"; } 2>&1 | tail -1)
  printf '%-28s %9s KB  (program %d MB)  target < 12288 KB  %s\n' "$label" "$rss_kb" \
    "$(( $(stat -c %s "${@: -1}") / 1000000 ))" "$([ "$rss_kb" -lt 12288 ] && echo ok || echo OVER)"
}

printf '(finished program)\r\nM30\r\n' > old.eia
peak "append, peak RSS" --set AppendMode=2 --set SeqStart=1 --set "SeqEnd=$serials" sequence old.eia
peak "replace, peak RSS" --set SeqStart=1 --set "SeqEnd=$serials" sequence new.eia
