#!/usr/bin/env bash
# Travel order against the font's order, on fixed inputs, as ratios:
#   job (b), 20 lines of 60 characters, TravelOrder 3: rapid length <= 0.75 x the font's order
#   100 serial numbers in one file, TravelOrder 3:     rapid length <= 0.75 x the font's order
#   job (b) with TravelOrder 3 timed in one hyperfine run with the plain job: <= 2.0 x
# Usage: bench/travel_order.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
enter_work_folder "${1:-build-release}"

line=$(printf 'THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ABCDE')
lines20=$(for _ in $(seq 20); do echo "$line"; done)
job=(--set TextHeightE=5 --set LineSpacingE=1.6 --set "FreeFormTextE=$lines20")
serials=(--set SeqStart=1 --set SeqEnd=100 --set SeqPrefix=SN- --set SeqDigits=6)

rapid() {  # the rapid length of the stats of program $1
  "$cli" stats "$1" | sed -n 's/^rapid length: //p'
}
ratio() {  # name, ordered, plain
  python3 -c "
o, p = $2, $3
print(f'{\"$1\":52s} {o:10.1f} of {p:10.1f}  ratio {o/p:5.2f}  target <= 0.75  {\"ok\" if o/p <= 0.75 else \"OVER\"}')"
}

"$cli" "${job[@]}" text plain.eia
"$cli" "${job[@]}" --set TravelOrder=3 text ordered.eia >/dev/null
ratio "job (b) rapid length, whole job ordered" "$(rapid ordered.eia)" "$(rapid plain.eia)"

"$cli" "${serials[@]}" sequence plain_serials.eia
"$cli" "${serials[@]}" --set TravelOrder=3 sequence ordered_serials.eia >/dev/null
ratio "100 serials rapid length, whole run ordered" "$(rapid ordered_serials.eia)" \
  "$(rapid plain_serials.eia)"

quoted="--set TextHeightE=5 --set LineSpacingE=1.6 --set 'FreeFormTextE=$lines20'"
read -r plain_s ordered_s < <(mean order "$cli $quoted text plain.eia" \
  "$cli $quoted --set TravelOrder=3 text ordered.eia")
report "job (b) ordered against the plain job" "$ordered_s" "$plain_s" 2.0
