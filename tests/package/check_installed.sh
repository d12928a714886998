#!/usr/bin/env bash
# Installs the Debian package with apt-get, checks it as a new user meets it, and removes it again
# (also when a check fails).
# Usage: check_installed.sh PACKAGE.deb BIN_DIR   (BIN_DIR: the build whose programs it holds)
set -euo pipefail
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bin=$(cd "$2" && pwd)
if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi

failures=0
fail() {
  echo "package: $*"
  failures=$((failures + 1))
}

"${sudo[@]}" apt-get remove -y -qq stylor >/dev/null 2>&1 || true
scratch=$(mktemp -d)
cleanup() {
  "${sudo[@]}" apt-get remove -y -qq stylor >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null 2>&1 ||
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "$deb"
dpkg-query -W -f='${Depends}\n' stylor | grep -q 'libqt6widgets6' ||
  fail "the dependencies from dpkg-shlibdeps are missing: $(dpkg-query -W -f='${Depends}' stylor)"

# The installed command line in a folder of its own: the job must come out byte for byte as the
# build's, with the font installed beside the program.
job=(--set $'FreeFormTextE=STYLOR\nSERIAL 0042' --set Justification=1 --set PostEngrave=M30)
mkdir "$scratch/installed" "$scratch/built"
(cd "$scratch/installed" && /usr/bin/stylor-cli "${job[@]}" text plate.eia) ||
  fail "the installed stylor-cli did not write the job"
(cd "$scratch/built" && "$bin/stylor-cli" "${job[@]}" text plate.eia)
cmp -s "$scratch/installed/plate.eia" "$scratch/built/plate.eia" ||
  fail "the installed stylor-cli wrote another program than the build's"
[[ $(cd "$scratch/installed" && /usr/bin/stylor-cli show FontFile) == /usr/share/stylor/fonts/BasicFont.fnt ]] ||
  fail "the installed stylor-cli does not find its font"
/usr/bin/stylor-cli stats "$scratch/installed/plate.eia" | grep -q '^plunges: ' ||
  fail "stats of the installed stylor-cli"
[[ $(/usr/bin/stylor-cli --version) == "stylor-cli $("$bin/stylor-cli" --version | cut -d' ' -f2)" ]] ||
  fail "the installed version differs from the build's"

desktop-file-validate /usr/share/applications/org.stylor.Stylor.desktop ||
  fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.stylor.Stylor.metainfo.xml >/dev/null ||
  { appstreamcli validate --no-net /usr/share/metainfo/org.stylor.Stylor.metainfo.xml; fail "appstreamcli validate"; }
for page in stylor stylor-cli; do
  man -w "$page" >/dev/null 2>&1 || [[ -f /usr/share/man/man1/$page.1.gz ]] ||
    fail "no manual page $page(1)"
done

files=$(dpkg -L stylor)
for wanted in /usr/bin/stylor /usr/bin/stylor-cli /usr/share/stylor/fonts/BasicFont.fnt \
    /usr/share/stylor/fonts/NOTICE /usr/share/doc/stylor/guide.md /usr/share/doc/stylor/README.md \
    /usr/share/icons/hicolor/scalable/apps/stylor.svg; do
  grep -qx "$wanted" <<<"$files" || fail "$wanted is not installed"
done
grep -E '/\.git|/\.gitattributes' <<<"$files" && fail "git files are installed"
grep -nE 'scripts/|build/|cmake|apt-get' /usr/share/doc/stylor/README.md &&
  fail "the installed README gives developer instructions"

# Every relative link and picture of an installed document leads to an installed file.
while IFS= read -r document; do
  for target in $(grep -oE '\]\([^)#]+' "$document" | sed 's/^](//' | grep -vE '^[a-z]+:'); do
    [[ -e $(dirname "$document")/$target ]] || fail "$document links to $target, not installed"
  done
done < <(grep -E '\.md$' <<<"$files")

if [[ $failures -gt 0 ]]; then
  echo "package: $failures checks failed"
  exit 1
fi
echo "package: installed, checked and removed"
