#!/usr/bin/env bash
# Times batch runs of stylor-cli with hyperfine against copying the same output, both commands
# in one hyperfine run on the same machine, and prints each ratio with its target:
#   10,000 rows of a three-line nameplate into one file      <= 3.0 x cp of the same bytes
#   10,000 rows of a three-line nameplate into 10,000 files  <= 2.0 x cp -r of the same files
#   one row of 20,300 lines (seven values of 2,900 lines)     peak RSS below 12 MB
# Usage: bench/batch.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
enter_work_folder "${1:-build-release}"

# Ten thousand name plates: a name, a serial and a place, with a quoted comma now and then.
python3 - <<'EOF'
with open("plates.csv", "w", newline="") as f:
    f.write("Name,Serial,Place\r\n")
    for k in range(1, 10001):
        place = f'"HALL {k % 7}, BAY {k % 13}"' if k % 5 == 0 else f"HALL {k % 7}"
        f.write(f"PUMP {k % 97} MOTOR,SN-{k:06d},{place}\r\n")
EOF
text=$(printf '{Name}\n{Serial}\n{Place}')
plate=(--set "FreeFormTextE=$text" --set TextHeightE=5 --set LineSpacingE=1.6)
# The same settings as one command line: single quotes keep the line breaks for hyperfine.
quoted="--set 'FreeFormTextE=$text' --set TextHeightE=5 --set LineSpacingE=1.6"

# The outputs to copy, made once.
"$cli" "${plate[@]}" batch text plates.csv one.eia
mkdir -p many copy
"$cli" "${plate[@]}" --set Files=1 --set FilePrefix=P batch text plates.csv many/

# Each batch is timed in the same hyperfine run as the copy it is held to.
read -r cp_s one_s < <(mean one "cp one.eia copy.eia" "$cli $quoted batch text plates.csv one.eia")
report "10,000 rows of a three-line plate into one file" "$one_s" "$cp_s" 3.0

read -r cpr_s many_s < <(mean many "cp -r many/. copy/" \
  "$cli $quoted --set Files=1 --set FilePrefix=P batch text plates.csv many/")
report "10,000 rows of a three-line plate into 10,000 files" "$many_s" "$cpr_s" 2.0
printf '(one file: %d bytes; many files: %d files)\n' "$(stat -c %s one.eia)" "$(ls many | wc -l)"

# A long row is measured for the size estimate by its first lines, and streamed as it is written.
python3 - <<'EOF'
values = ["\n".join(f"PUMP {c}-{k} MOTOR" for k in range(2900)) for c in range(7)]
with open("long.csv", "w") as f:
    f.write(",".join(f"C{c}" for c in range(7)) + "\n")
    f.write(",".join(f'"{v}"' for v in values) + "\n" + ",".join("X" for _ in range(7)) + "\n")
EOF
rss_kb=$( { /usr/bin/time -f '%M' "$cli" --set "FreeFormTextE=$(printf '{C0}\n{C1}\n{C2}\n{C3}\n{C4}\n{C5}\n{C6}')" \
             --set TextHeightE=5 batch text long.csv long.eia; } 2>&1 | tail -1)
printf '%-52s %9s KB  (%d MB of program)  target < 12288 KB  %s\n' "a row of 20,300 lines, peak RSS" \
  "$rss_kb" "$(( $(stat -c %s long.eia) / 1000000 ))" "$([ "$rss_kb" -lt 12288 ] && echo ok || echo OVER)"
