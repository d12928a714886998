# Helpers of the benchmark scripts, sourced by them from the top of the source tree.

# Sets cli to the stylor-cli of the build folder $1, then enters a new temporary folder holding
# the shipped BasicFont.fnt, removed when the script ends.
enter_work_folder() {
  cli=$(realpath "$1/bin/stylor-cli")
  command -v hyperfine >/dev/null || { echo "hyperfine is needed: apt-get install hyperfine"; exit 2; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp fonts/BasicFont.fnt "$work/"
  cd "$work"
}

# Mean seconds of each command of one hyperfine run, from its JSON, separated by spaces.
mean() {
  local name=$1; shift
  hyperfine --warmup 3 --min-runs 15 -N --export-json "$name.json" "$@" >/dev/null 2>&1 ||
    hyperfine --warmup 3 --min-runs 15 --export-json "$name.json" "$@" >/dev/null 2>&1
  python3 -c "import json; print(*(r['mean'] for r in json.load(open('$name.json'))['results']))"
}

# Prints a measured time beside its limit, with the ratio and its target.
report() {  # name, measured, limit, target
  python3 -c "
m, l, t = $2, $3, $4
print(f'{\"$1\":52s} {m*1000:9.2f} ms  limit {l*1000:8.2f} ms  ratio {m/l:5.2f}  target <= {t}  {\"ok\" if m/l <= t else \"OVER\"}')"
}

# Mean wall and CPU seconds of each command of one hyperfine run, "wall cpu" per command,
# separated by spaces; MIN_RUNS (default 20) runs at least.
both() {
  local name=$1; shift
  hyperfine --warmup 3 --min-runs "${MIN_RUNS:-20}" -N --export-json "$name.json" "$@" >/dev/null 2>&1
  python3 -c "
import json
r = json.load(open('$name.json'))['results']
print(*(f\"{x['mean']} {x['user'] + x['system']}\" for x in r))"
}

# A measured time beside its limit, in wall time and in CPU time.
report_both() {  # name, measured wall, measured cpu, limit wall, limit cpu, target
  report "$1" "$2" "$4" "$6"
  report "  the same in CPU time" "$3" "$5" "$6"
}
