#!/usr/bin/env bash
# Times whole stylor-cli runs with hyperfine beside the limits they are held to, measured in the
# same run on the same machine, and prints each ratio with its target:
#   job (b), 20 lines of 60 characters            <= 3.0 x /bin/true
#   10,000 serial numbers into one file           <= 3.0 x cp of the same bytes
#   10,000 serial numbers into 10,000 files       <= 2.0 x cp -r of the same files
# The many-files run is timed twice: over the files of the run before (cp then overwrites each
# file in place, where a program is written to a new file and renamed over the old one, so that
# a failed run leaves the old programs whole), and into an empty folder (both create every file).
#   2000 lines of text (about 34 MB of program)   peak RSS below 12 MB
# Usage: bench/pipeline.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
enter_work_folder "${1:-build-release}"

line=$(printf 'THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ABCDE')
lines20=$(for _ in $(seq 20); do echo "$line"; done)
lines2000=$(for _ in $(seq 2000); do echo "$line"; done)
serials=(--set SeqStart=1 --set SeqEnd=10000 --set SeqPrefix=SN- --set SeqDigits=6)

# The outputs to copy, made once.
"$cli" "${serials[@]}" sequence one.eia
mkdir -p many copy
"$cli" "${serials[@]}" --set Files=1 --set FilePrefix=P sequence many/

true_s=$(mean true /bin/true)
job_s=$(mean job "$cli --set TextHeightE=5 --set LineSpacingE=1.6 --set 'FreeFormTextE=$lines20' text b.eia")
report "job (b), 20 lines of 60 characters" "$job_s" "$true_s" 3.0

cp_s=$(mean cp "cp one.eia copy.eia")
one_s=$(mean one "$cli ${serials[*]} sequence one.eia")
report "10,000 serial numbers into one file" "$one_s" "$cp_s" 3.0

cpr_s=$(mean cpr "cp -r many/. copy/")
many_s=$(mean many "$cli ${serials[*]} --set Files=1 --set FilePrefix=P sequence many/")
report "10,000 serial numbers into 10,000 files" "$many_s" "$cpr_s" 2.0
fresh_cp_s=$(mean freshcp --prepare 'rm -rf fresh && mkdir fresh' "cp -r many/. fresh/")
fresh_s=$(mean fresh --prepare 'rm -rf fresh && mkdir fresh' \
  "$cli ${serials[*]} --set Files=1 --set FilePrefix=P sequence fresh/")
report "  the same into an empty folder" "$fresh_s" "$fresh_cp_s" 2.0

rss_kb=$( { /usr/bin/time -f '%M' "$cli" --set "FreeFormTextE=$lines2000" --set TextHeightE=5 \
             --set LineSpacingE=1.6 text big.eia; } 2>&1 | tail -1)
size_mb=$(( $(stat -c %s big.eia) / 1000000 ))
printf '%-44s %9s KB  (%d MB of program)  target < 12288 KB  %s\n' "2000 lines, peak RSS" \
  "$rss_kb" "$size_mb" "$([ "$rss_kb" -lt 12288 ] && echo ok || echo OVER)"
