#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh), checks it with lintian (an error fails),
# installs it with apt-get as a user would, runs the installed programs (the version, a
# stamp of a copy of the bundled samples, the manual pages, the completion), removes it and
# checks that nothing of it is left. Needs root and a machine without morvik installed.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
LOG=${TMPDIR:-/tmp}/morvik-package-check.log
: >"$LOG"
say() { echo "package-check: $*"; }
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' morvik 2>/dev/null | grep -q "install ok installed"; then
  fail "morvik is installed on this machine already; remove it first (apt-get remove morvik)"
fi
deb=$(bash scripts/package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
say "built $deb ($(du -k "$deb" | cut -f1) KiB); Depends: $(dpkg-deb -f "$deb" Depends)"

# lintian: errors fail the check; the warnings left are listed.
lintian_out=$(lintian --fail-on none --tag-display-limit 0 "$deb" 2>&1 || true)
if grep -q '^E: ' <<<"$lintian_out"; then
  grep '^E: ' <<<"$lintian_out" >&2
  fail "lintian reports errors"
fi
say "lintian: no errors, $(grep -c '^W: ' <<<"$lintian_out" || true) warnings"
grep '^W: ' <<<"$lintian_out" | sed 's/^/  /' || true

# The package's files (folders aside), to check after the removal.
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')

removed=0
remove() {
  [ "$removed" = 1 ] && return
  removed=1
  apt-get purge -y -o DPkg::Lock::Timeout=300 morvik >>"$LOG" 2>&1
}
trap 'remove || true' EXIT
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -o DPkg::Lock::Timeout=300 "$deb" >>"$LOG" 2>&1 || fail "apt-get install $deb (log: $LOG)"
say "installed with apt-get ($(dpkg-query -W -f='${Installed-Size}' morvik) KiB); apt's log: $LOG"

[ "$(command -v morvik-cli)" = /usr/bin/morvik-cli ] || fail "morvik-cli is not /usr/bin/morvik-cli"
[ "$(/usr/bin/morvik-cli --version)" = "morvik-cli $version" ] || fail "morvik-cli --version says $(/usr/bin/morvik-cli --version)"
[ "$(/usr/bin/morvik --version)" = "morvik $version" ] || fail "morvik --version says $(/usr/bin/morvik --version)"
work=$(mktemp -d)
cp -p samples/*.jpg samples/*.JPG "$work"/
/usr/bin/morvik-cli stamp "$work" >>"$LOG" 2>&1 || fail "the installed morvik-cli stamp failed (log: $LOG)"
stamped=$(find "$work/Dated" -type f -iname "*.jpg" | wc -l)
sources=$(find "$work" -maxdepth 1 -type f | wc -l)
[ "$stamped" = "$sources" ] || fail "morvik-cli stamp wrote $stamped of $sources pictures"
rm -rf "$work"
for page in morvik-cli morvik; do
  man -w "$page" >/dev/null || fail "man -w $page finds no page"
done
completion=$(bash -c 'source /usr/share/bash-completion/bash_completion 2>/dev/null
  COMP_WORDS=(morvik-cli stamp --preset ""); COMP_CWORD=3; COMP_LINE="morvik-cli stamp --preset "; COMP_POINT=${#COMP_LINE}
  __load_completion morvik-cli && _morvik_cli morvik-cli "" --preset && echo "${COMPREPLY[*]}"')
grep -qw album <<<"$completion" || fail "bash completion of --preset offers: $completion"
say "installed programs: version $version, $stamped samples stamped, manual pages and completion found"

remove
if dpkg-query -W -f='${Status}' morvik 2>/dev/null | grep -q "installed"; then
  fail "morvik is still known to dpkg after the removal"
fi
left=()
for f in "${files[@]}"; do
  [ -e "$f" ] || [ -L "$f" ] && left+=("$f")
done
[ ${#left[@]} -eq 0 ] || fail "left after the removal: ${left[*]}"
say "removed; none of its ${#files[@]} files is left. Took $((SECONDS - started)) s"
