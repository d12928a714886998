#!/usr/bin/env bash
# Times the reading of programs back as whole stylor-cli runs with hyperfine, each beside its
# limit in the same run on the same machine, and prints each ratio with its target:
#   stats of the 2000-line text (about 34 MB of program)   <= 3.0 x cp of the program
#   preview of it to SVG                                   <= 5.0 x cp of the SVG it writes
# Both are also given in CPU time (user + system), which a machine shared with other work
# disturbs less than the wall clock. The statistics must not change with the speed: the script
# stops when they differ from the ones printed before the timing.
# Usage: bench/reading.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
MIN_RUNS=15
enter_work_folder "${1:-build-release}"

line=$(printf 'THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ABCDE')
lines2000=$(for _ in $(seq 2000); do echo "$line"; done)
"$cli" --set "FreeFormTextE=$lines2000" --set TextHeightE=5 --set LineSpacingE=1.6 text big.eia
"$cli" stats big.eia >stats.txt
"$cli" preview big.eia big.svg
printf '%-44s %d MB of program, %d MB of SVG\n' "2000 lines" \
  $(( $(stat -c %s big.eia) / 1000000 )) $(( $(stat -c %s big.svg) / 1000000 ))



read -r cp_w cp_c stats_w stats_c < <(both stats "cp big.eia copy.eia" "$cli stats big.eia")
report_both "stats of the 2000-line program" "$stats_w" "$stats_c" "$cp_w" "$cp_c" 3.0
read -r cps_w cps_c svg_w svg_c < <(both svg "cp big.svg copy.svg" "$cli preview big.eia big.svg")
report_both "preview of it to SVG" "$svg_w" "$svg_c" "$cps_w" "$cps_c" 5.0

"$cli" stats big.eia | cmp -s - stats.txt || { echo "the statistics changed between runs"; exit 1; }
