#!/usr/bin/env bash
# Times a run of 10,000 serial numbers into one file with its placeholders filled (a date code
# in the prefix, a shift in the suffix, the run continuing from a counter, a production log)
# against the same run typed out, both in one hyperfine run beside /bin/true, and prints:
#   filled run  <= 1.05 x the typed run
# Usage: bench/marking.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
enter_work_folder "${1:-build-release}"
# Each run writes 40 MB: on a disk, the write-back of the runs before swamps the difference
# measured, so the runs write into memory (tmpfs) when the machine has one.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  shm=$(mktemp -d -p /dev/shm)
  trap 'rm -rf "$work" "$shm"' EXIT
  cp BasicFont.fnt "$shm/"
  cd "$shm"
fi

run=(--set SeqStart=1 --set SeqEnd=10000 --set SeqDigits=6)
"$cli" counter SN 1
filled="--now 2026-12-11T14:05:00 --set FillPlaceholders=1 --set 'ShiftTable=A 06:00, B 14:00' \
--set SeqCounter=SN --set ProductionLog=log.csv --set 'SeqPrefix=PN-{Date:yyMMdd}-' \
--set 'SeqPostfix=-{Shift}' ${run[*]} sequence filled.eia"
typed="--set 'SeqPrefix=PN-261211-' --set 'SeqPostfix=-B' ${run[*]} sequence typed.eia"

read -r true_s typed_s filled_s < <(mean marking /bin/true "$cli $typed" "$cli $filled")
report "10,000 numbers with placeholders filled" "$filled_s" "$typed_s" 1.05
python3 -c "
import json
r = json.load(open('marking.json'))['results']
cpu = [x['user'] + x['system'] for x in r]
print(f'(processor time: typed {cpu[1]*1000:.2f} ms, filled {cpu[2]*1000:.2f} ms, ratio {cpu[2]/cpu[1]:.3f})')"
printf '(/bin/true: %.2f ms; one file: %d bytes)\n' "$(python3 -c "print($true_s*1000)")" \
  "$(stat -c %s filled.eia)"
