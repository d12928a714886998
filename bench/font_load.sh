#!/usr/bin/env bash
# Times the loading of a large single-line LFF font as whole stylor-cli runs (`--font FILE show
# TextHeightE`: start-up, the font read and converted, one field printed) against cp of the same
# file, both in one hyperfine run on the same machine, and prints the ratio with its target:
#   a large LFF font (made here: about 1.5 MB, 12,000 glyphs)   <= 3.0 x cp of the file
# Given a second argument, an LFF font of your own is timed the same way beside it.
# Both are also given in CPU time (user + system), which a machine shared with other work
# disturbs less than the wall clock.
# Usage: bench/font_load.sh [BUILD_DIR] [FONT.lff]   (a Release build; default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
own=${2:+$(realpath "$2")}
enter_work_folder "${1:-build-release}"

# Glyphs of two to five strokes each, corners with one or two decimals, an arc (bulge) now and
# then, a reference to another glyph now and then, as the large fonts are written.
python3 - <<'EOF'
import random
random.seed(7)
def num():
    v = random.randint(0, 900) / 100
    return f"{v:g}" if random.random() < 0.7 else f"{int(v)}."
with open("large.lff", "w", newline="\n") as f:
    f.write("# Format:            LibreCAD Font 1\n# LetterSpacing:     3\n# WordSpacing:       6.75\n\n")
    codes = list(range(0x21, 0x7F)) + list(range(0xA1, 0x2FFF)) + list(range(0x4E00, 0x4E00 + 800))
    for code in codes[:12000]:
        f.write(f"[{code:04X}] x\n")
        if code > 0x100 and random.random() < 0.1:
            f.write("C0041\n")
        for _ in range(random.randint(2, 5)):
            corners = []
            for k in range(random.randint(2, 6)):
                corner = f"{num()},{num()}"
                if k > 0 and random.random() < 0.15:
                    corner += f",A{random.choice(['0.4142', '1.', '-0.2679'])}"
                corners.append(corner)
            f.write(";".join(corners) + "\n")
        f.write("\n")
EOF
"$cli" --font large.lff show TextHeightE >/dev/null


read -r c_w c_c f_w f_c < <(both large "cp large.lff copy.lff" "$cli --font large.lff show TextHeightE")
report "large LFF font made here ($(( $(stat -c %s large.lff) / 1000 )) kB)" "$f_w" "$c_w" 3.0
report "  the same in CPU time" "$f_c" "$c_c" 3.0
if [[ -n "$own" ]]; then
  cp "$own" own.lff
  read -r c_w c_c f_w f_c < <(both own "cp own.lff copy.lff" "$cli --font own.lff show TextHeightE")
  report "$(basename "$own") ($(( $(stat -c %s own.lff) / 1000 )) kB)" "$f_w" "$c_w" 3.0
  report "  the same in CPU time" "$f_c" "$c_c" 3.0
fi
