#!/usr/bin/env bash
# Installs the release build into a temporary prefix and runs the installed
# binary on the sample; lints the man page; builds the .deb, checks what it
# holds and that Debian's lintian finds nothing to warn of, rebuilds it from
# a copy of the tree in another folder and checks that the two packages are
# the same bytes; does the same for the Windows zip if build/windows exists;
# installs the .deb with dpkg and removes it again (the last two as root
# only). Run from the source tree after `cmake --workflow --preset release`
# (and `--preset windows`); needs lintian, and unzip for the zip.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
top=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install check: $*" >&2; exit 1; }
command -v lintian >/dev/null || fail "lintian is not installed"

# Package time stamps come from here; a release is made with it set.
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

cmake --install build/release --prefix "$work/prefix" >/dev/null
for file in bin/mendrik-survey share/man/man1/mendrik.1.gz \
  share/man/man1/mendrik-survey.1.gz share/doc/mendrik/copyright \
  share/doc/mendrik/changelog.gz; do
  [[ -f $work/prefix/$file ]] || fail "$file not installed"
done
"$work/prefix/bin/mendrik" examples/sample.unf "$work/fixed.unf" 8 5 \
  >"$work/stdout" 2>/dev/null || fail "installed binary failed"
printf 'Completed.  Updated 3 Lines.\r\nRejected 1 Lines due to record length errors.\r\n' >"$work/expected"
cmp -s "$work/stdout" "$work/expected" || fail "wrong summary: $(od -c "$work/stdout")"
cmp -s "$work/fixed.unf" examples/sample-fixed.unf || fail "wrong output on the sample"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[[ -n $version ]] || fail "no version in the release build"
for page in mendrik mendrik-survey; do
  man_title=$(zcat "$work/prefix/share/man/man1/$page.1.gz" | head -n 1)
  [[ $man_title == *"\"mendrik $version\""* ]] ||
    fail "$page.1's title line does not show $version: $man_title"
  lint=$(groff -man -ww -z build/release/$page.1 2>&1)
  [[ -z $lint ]] || fail "$page.1 warnings: $lint"
done
[[ $("$work/prefix/bin/mendrik-survey" --version) == "mendrik-survey $version" ]] ||
  fail "mendrik-survey --version does not show $version"
status=0
"$work/prefix/bin/mendrik-survey" examples/survey.unf >"$work/survey" 2>&1 || status=$?
[[ $status == 1 ]] && grep -q 'mendrik examples/survey.unf FIXED.UNF 41 9' "$work/survey" ||
  fail "installed mendrik-survey on the sample: $(cat "$work/survey")"
# The README shows that survey; it must be what the program prints.
awk '/^    \$ build\/release\/mendrik-survey examples\/survey.unf$/ { on = 1; next }
     on && /^    / { sub(/^    /, ""); print; next }
     on && /^$/ { print; next }
     on { exit }' README.md | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' >"$work/readme-survey"
cmp -s "$work/survey" "$work/readme-survey" ||
  fail "README's survey of examples/survey.unf is not what mendrik-survey prints: $(diff "$work/readme-survey" "$work/survey")"

(cd build/release && cpack -G DEB >/dev/null)
deb=build/release/mendrik_${version}_amd64.deb
[[ -f $deb ]] || fail "no $deb"
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/mendrik usr/bin/mendrik-survey \
  usr/share/man/man1/mendrik.1.gz usr/share/man/man1/mendrik-survey.1.gz \
  usr/share/doc/mendrik/copyright usr/share/doc/mendrik/changelog.gz; do
  grep -q " ./$file\$" <<<"$contents" || fail "no $file in $deb"
done
[[ $(dpkg-deb -f "$deb" Section) == utils ]] || fail "wrong section"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no computed dependencies"
echo "$deb holds:"
echo "$contents"

# Errors and warnings fail; the informational tags are shown.
lintian --info --fail-on error,warning "$deb" 2>"$work/lintian.err" ||
  fail "lintian found the errors or warnings above $(cat "$work/lintian.err")"
echo "lintian: no errors or warnings"

# The same commit built in another folder must pack to the same bytes.
mkdir "$work/again"
tar -c --exclude=./build --exclude=./.git . | tar -x -C "$work/again"
(cd "$work/again" && cmake --workflow --preset release >/dev/null &&
  cd build/release && cpack -G DEB >/dev/null)
cmp "$deb" "$work/again/$deb" || fail "two builds of the tree give different packages"
echo "reproducible: $deb is the same bytes when built in $work/again"

# The Windows zip, where the windows build exists: what it holds, a program
# that needs no DLL beyond Windows' own, and the same bytes from another
# folder.
if [[ -d build/windows ]]; then
  (cd build/windows && cpack -G ZIP >/dev/null)
  zip=build/windows/mendrik-$version-win64.zip
  [[ -f $zip ]] || fail "no $zip"
  listing=$(unzip -Z1 "$zip")
  for file in mendrik.exe mendrik-survey.exe mendrik.html mendrik-survey.html \
    README.md LICENSE NEWS.md; do
    grep -qx "mendrik-$version-win64/$file" <<<"$listing" || fail "no $file in $zip"
  done
  unzip -p "$zip" "mendrik-$version-win64/mendrik.html" | grep -q "mendrik $version" ||
    fail "the manual in $zip does not show $version"
  for program in mendrik mendrik-survey; do
    dlls=$(x86_64-w64-mingw32-objdump -p build/windows/$program.exe |
      sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    [[ $dlls == "kernel32.dll msvcrt.dll shell32.dll " ]] ||
      fail "$program.exe needs DLLs Windows does not have: $dlls"
  done
  echo "$zip holds:"
  echo "$listing"
  (cd "$work/again" && cmake --preset windows -DBUILD_TESTING=OFF >/dev/null &&
    cmake --build --preset windows >/dev/null &&
    cd build/windows && cpack -G ZIP >/dev/null)
  cmp "$zip" "$work/again/$zip" || fail "two builds of the tree give different zips"
  echo "reproducible: $zip is the same bytes when built in $work/again"
fi

if [[ $(id -u) == 0 ]] && ! dpkg-query -W mendrik >/dev/null 2>&1; then
  dpkg -i "$deb" >/dev/null
  /usr/bin/mendrik examples/sample.unf "$work/fixed-deb.unf" 8 5 >/dev/null 2>&1 ||
    fail "packaged binary failed"
  cmp -s "$work/fixed-deb.unf" examples/sample-fixed.unf || fail "packaged binary's output"
  dpkg -r mendrik >/dev/null
  [[ ! -e /usr/bin/mendrik && ! -e /usr/bin/mendrik-survey &&
    ! -e /usr/share/man/man1/mendrik.1.gz ]] ||
    fail "dpkg -r left files behind"
fi
echo "install check passed"
