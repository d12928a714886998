#!/usr/bin/env bash
# Times the start of the command line as whole processes: `stylor-cli show TextHeightE` (start-up
# with the shipped BasicFont.fnt in the working folder, one field printed) against /bin/true in
# the same hyperfine run, and prints the ratio of their medians beside the limit.
# Usage: bench/startup.sh [STYLOR-CLI [RUNS]]   (default build-release/bin/stylor-cli, 1000 runs)
# Build first: cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTYLOR_BENCH=ON
#              cmake --build build-release --target stylor-cli
# Exit status 1 when the ratio is over the limit.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=1.6
cli=$(realpath "${1:-build-release/bin/stylor-cli}")
runs=${2:-1000}
command -v hyperfine >/dev/null || { echo "hyperfine is missing: apt-get install -y hyperfine" >&2; exit 2; }
[[ -x "$cli" ]] || { echo "no stylor-cli at $cli: build it first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp fonts/BasicFont.fnt "$work/"
cd "$work"
"$cli" show TextHeightE >/dev/null  # a start that fails would time an error message

# Outlier warnings are the rule on a shared machine; the medians stand up to them.
if ! hyperfine -N --warmup 50 --runs "$runs" --export-json times.json \
    '/bin/true' "$cli show TextHeightE" >hyperfine.log 2>&1; then
  cat hyperfine.log >&2
  exit 2
fi
python3 - "$limit" <<'PY'
import json, sys
limit = float(sys.argv[1])
results = json.load(open("times.json"))["results"]
true, cli = (r["median"] * 1000 for r in results)
ratio = cli / true
print(f"/bin/true                  median {true:.3f} ms")
print(f"stylor-cli show TextHeightE median {cli:.3f} ms")
print(f"ratio {ratio:.2f}x against the limit {limit}x: {'within' if ratio <= limit else 'OVER'}")
sys.exit(0 if ratio <= limit else 1)
PY
