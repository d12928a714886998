#!/usr/bin/env bash
# Times Many Files at a large count against cp -r of the same files, both commands in one
# hyperfine run on the same machine, and prints the ratio with its target:
#   1,000,000 serial numbers into 1,000,000 files   <= 2.0 x cp -r of the same files
# The run writes each program into its run folder and renames it over the old one (so that a
# failed or killed run never leaves a half-written program); cp overwrites each file in place.
# A run of N files must cost N times one file: a search per file through the files already
# written made 200,000 files take 40 s.
# Usage: bench/many_files.sh [BUILD_DIR] [COUNT]   (a Release build; default build-release and
# 1000000; a smaller COUNT gives a quick look, the ratio should hold at any count)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
count=${2:-1000000}
enter_work_folder "${1:-build-release}"

serials=(--set SeqStart=1 --set "SeqEnd=$count" --set SeqPrefix=SN- --set SeqDigits=7)
mkdir -p many copy
"$cli" "${serials[@]}" --set Files=1 --set FilePrefix=P sequence many/

# Few runs: each one writes the whole series.
hyperfine --warmup 1 --runs 3 -N --export-json many.json "cp -r many/. copy/" \
  "$cli ${serials[*]} --set Files=1 --set FilePrefix=P sequence many/" >/dev/null 2>&1
read -r cpr_s many_s < <(python3 -c "import json; print(*(r['mean'] for r in json.load(open('many.json'))['results']))")
report "$count serial numbers into $count files" "$many_s" "$cpr_s" 2.0
printf '(%d files, %d MB)\n' "$(ls many | wc -l)" "$(( $(du -sk many | cut -f1) / 1024 ))"
