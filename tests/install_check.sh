#!/usr/bin/env bash
# Installs the release build into a temporary prefix and runs the installed
# binary on the sample; lints the man page; builds the .deb, checks what it
# holds, installs it with dpkg and removes it again (the last two as root
# only). Run from the source tree after `cmake --workflow --preset release`.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install check: $*" >&2; exit 1; }

cmake --install build/release --prefix "$work/prefix" >/dev/null
[[ -f $work/prefix/share/man/man1/mendrik.1 ]] || fail "man page not installed"
"$work/prefix/bin/mendrik" examples/sample.unf "$work/fixed.unf" 8 5 \
  >"$work/stdout" 2>/dev/null || fail "installed binary failed"
printf 'Completed.  Updated 3 Lines.\r\nRejected 1 Lines due to record length errors.\r\n' >"$work/expected"
cmp -s "$work/stdout" "$work/expected" || fail "wrong summary: $(od -c "$work/stdout")"
cmp -s "$work/fixed.unf" examples/sample-fixed.unf || fail "wrong output on the sample"

lint=$(groff -man -ww -z doc/mendrik.1 2>&1)
[[ -z $lint ]] || fail "man page warnings: $lint"

(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/mendrik_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/mendrik$' <<<"$contents" || fail "no binary in $deb"
grep -q ' ./usr/share/man/man1/mendrik.1$' <<<"$contents" || fail "no man page in $deb"
[[ $(dpkg-deb -f "$deb" Section) == utils ]] || fail "wrong section"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no computed dependencies"
echo "$deb holds:"
echo "$contents"

if [[ $(id -u) == 0 ]] && ! dpkg-query -W mendrik >/dev/null 2>&1; then
  dpkg -i "$deb" >/dev/null
  /usr/bin/mendrik examples/sample.unf "$work/fixed-deb.unf" 8 5 >/dev/null 2>&1 ||
    fail "packaged binary failed"
  cmp -s "$work/fixed-deb.unf" examples/sample-fixed.unf || fail "packaged binary's output"
  dpkg -r mendrik >/dev/null
  [[ ! -e /usr/bin/mendrik && ! -e /usr/share/man/man1/mendrik.1 ]] ||
    fail "dpkg -r left files behind"
fi
echo "install check passed"
