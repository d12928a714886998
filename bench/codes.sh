#!/usr/bin/env bash
# Times the writing of a code with hyperfine, beside its limit measured in the same run:
#   the text job with a 26x26 Data Matrix cut as filled squares
#     <= 3.0 x (/bin/true + the same text job without the code)
# The first run of a code opens libzint; every run here pays for that, as a user's does.
# Usage: bench/codes.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
enter_work_folder "${1:-build-release}"

text=(--set 'FreeFormTextE=SN 004711' --set TextHeightE=4)
code=(--set CodeKind=1 --set 'CodeText=SN 004711 LOT 2026-12' --set CodeSizeE=26x26
      --set CodeStyle=1 --set CodeModuleE=0.5 --set ToolDiameterE=0.3 --set CodeXE=36)
"$cli" "${text[@]}" "${code[@]}" text code.eia  # a refused code would time an error message

read -r true_s text_s code_s < <(mean codes /bin/true \
  "$cli ${text[*]@Q} text text.eia" "$cli ${text[*]@Q} ${code[*]@Q} text code.eia")
report "text and a 26x26 Data Matrix, filled squares" "$code_s" \
  "$(python3 -c "print($true_s + $text_s)")" 3.0
