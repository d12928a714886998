#!/usr/bin/env bash
# Times the writing of programs as whole stylor-cli runs with hyperfine, each beside its limit
# in the same hyperfine run on the same machine, and prints each ratio with its target:
#   job (b), 20 lines of 60 characters                 <= 2.0 x /bin/true
#   10,000 serial numbers into one file                <= 2.0 x cp of the same bytes
#   2000 lines of text (about 34 MB of program)        <= 3.0 x cp of the same bytes
#   10,000 rows of a three-line plate into one file    <= 3.0 x cp of the same bytes
# Each is also given in CPU time (user + system), which a machine shared with other work
# disturbs less than the wall clock. The runs write into memory (tmpfs) when the machine has
# one: on a disk, the write-back of the runs before swamps what is measured.
# Usage: bench/writing.sh [BUILD_DIR] [OUT_DIR]   (a Release build; default build-release; with
# OUT_DIR the programs written are left there, to compare the bytes of two builds with cmp)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
keep=${2:+$(realpath "$2")}
enter_work_folder "${1:-build-release}"
if [[ -d /dev/shm && -w /dev/shm ]]; then
  shm=$(mktemp -d -p /dev/shm)
  trap 'rm -rf "$work" "$shm"' EXIT
  cp BasicFont.fnt "$shm/"
  cd "$shm"
fi

line=$(printf 'THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ABCDE')
lines20=$(for _ in $(seq 20); do echo "$line"; done)
lines2000=$(for _ in $(seq 2000); do echo "$line"; done)
serials="--set SeqStart=1 --set SeqEnd=10000 --set SeqPrefix=SN- --set SeqDigits=6"
text20="--set TextHeightE=5 --set LineSpacingE=1.6 --set 'FreeFormTextE=$lines20'"
text2000="--set TextHeightE=5 --set LineSpacingE=1.6 --set 'FreeFormTextE=$lines2000'"
python3 - <<'EOF'
with open("plates.csv", "w", newline="") as f:
    f.write("Name,Serial,Place\r\n")
    for k in range(1, 10001):
        place = f'"HALL {k % 7}, BAY {k % 13}"' if k % 5 == 0 else f"HALL {k % 7}"
        f.write(f"PUMP {k % 97} MOTOR,SN-{k:06d},{place}\r\n")
EOF
plate="--set 'FreeFormTextE={Name}
{Serial}
{Place}' --set TextHeightE=5 --set LineSpacingE=1.6"

# The outputs to copy, made once (and kept when asked).
eval "\"$cli\" $text20 text b.eia" 2>/dev/null
eval "\"$cli\" $serials sequence one.eia" 2>/dev/null
eval "\"$cli\" $text2000 text big.eia" 2>/dev/null
eval "\"$cli\" $plate batch text plates.csv rows.eia" 2>/dev/null
[[ -n "$keep" ]] && mkdir -p "$keep" && cp b.eia one.eia big.eia rows.eia "$keep/"



read -r t_w t_c b_w b_c < <(both job /bin/true "$cli $text20 text b.eia")
report_both "job (b), 20 lines of 60 characters" "$b_w" "$b_c" "$t_w" "$t_c" 2.0
read -r c_w c_c s_w s_c < <(both serials "cp one.eia copy.eia" "$cli $serials sequence one.eia")
report_both "10,000 serial numbers into one file" "$s_w" "$s_c" "$c_w" "$c_c" 2.0
read -r c_w c_c l_w l_c < <(both lines "cp big.eia copy.eia" "$cli $text2000 text big.eia")
report_both "2000 lines of text" "$l_w" "$l_c" "$c_w" "$c_c" 3.0
read -r c_w c_c r_w r_c < <(both rows "cp rows.eia copy.eia" "$cli $plate batch text plates.csv rows.eia")
report_both "10,000 rows of a three-line plate into one file" "$r_w" "$r_c" "$c_w" "$c_c" 3.0
printf '(bytes: job %d, serials %d, 2000 lines %d, rows %d)\n' "$(stat -c %s b.eia)" \
  "$(stat -c %s one.eia)" "$(stat -c %s big.eia)" "$(stat -c %s rows.eia)"
