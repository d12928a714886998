#!/usr/bin/env bash
# Runs the commands of a Markdown document as a reader would: every ```sh block, in order, in one
# empty folder, with the programs of the build first on PATH. Then checks that each picture the
# document shows from guide/ is the one its commands drew there.
# Usage: run_doc_commands.sh DOCUMENT BIN_DIR [--update]   (--update copies the drawn pictures)
set -euo pipefail
doc=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bin=$(cd "$2" && pwd)
update=${3:-}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/folder"
awk '/^ *```sh$/ { inside = 1; next } /^ *```/ { inside = 0 } inside' "$doc" > "$scratch/commands.sh"
if [[ ! -s $scratch/commands.sh ]]; then
  echo "$doc: no sh blocks to run"
  exit 1
fi

if ! (cd "$scratch/folder" && PATH="$bin:$PATH" bash -euo pipefail -x "$scratch/commands.sh") \
    > "$scratch/log" 2>&1; then
  cat "$scratch/log"
  echo "$doc: the commands above failed as written"
  exit 1
fi

status=0
for picture in $(grep -o '](guide/[^)]*\.svg)' "$doc" | sed 's/^](guide\///; s/)$//'); do
  drawn=$scratch/folder/$picture
  shown=$(dirname "$doc")/guide/$picture
  if [[ ! -f $drawn ]]; then
    echo "$doc shows guide/$picture, which its commands do not draw"
    status=1
  elif [[ $update == --update ]]; then
    cp "$drawn" "$shown"
  elif ! cmp -s "$drawn" "$shown"; then
    echo "$doc: guide/$picture differs from what its commands draw" \
         "(rerun with --update to take the new picture)"
    status=1
  fi
done
exit $status
