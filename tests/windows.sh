#!/usr/bin/env bash
# The Windows build under Wine: what differs from POSIX systems is how names,
# links, devices and standard handles look, so these cases check the
# same-file guard under every spelling, names beyond ASCII, the null device,
# closed standard handles and a pipe whose reader goes away, each for the
# exact bytes on every stream and an untouched source.
#
#   windows.sh WINE MENDRIK_EXE LAUNCH_EXE WORK_DIR
#
# Wine cannot stand for Windows everywhere: a closed standard output is
# modelled by starting mendrik.exe from a Windows program (windows_launch)
# with no handles, not by closing the descriptor under Wine.
set -u
wine=$1 mendrik=$2 launch=$3 work=$4
# Names beyond ASCII pass from here to Wine as UTF-8.
export LC_ALL=C.UTF-8
examples=$(cd "$(dirname "$0")/../examples" && pwd)

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failed=0 passed=0 case_name=
finish() { [[ -z $case_name ]] || ((failed > case_failures)) || passed=$((passed + 1)); }
begin() {
  finish
  case_name=$1 case_failures=$failed
  rm -f out.unf stdout stderr
}
fail() { echo "FAIL $case_name: $*"; failed=$((failed + 1)); }
run() { "$wine" "$mendrik" "$@" >stdout 2>stderr; rc=$?; }

# expect STATUS STDOUT STDERR: exact bytes, and the source untouched.
expect() {
  [[ $rc == "$1" ]] || fail "status $rc, expected $1"
  [[ $(cat stdout; echo x) == "$2"x ]] || fail "stdout: $(od -c stdout | head -n 5)"
  [[ $(cat stderr; echo x) == "$3"x ]] || fail "stderr: $(od -c stderr | head -n 5)"
  cmp -s big.unf pristine.unf || fail "the source changed"
}

# 2^15 copies of the sample, several read buffers long; the output is as
# many copies of the sample's output.
cp "$examples/sample.unf" pristine.unf
cp "$examples/sample-fixed.unf" expected.unf
for ((i = 0; i < 15; i++)); do
  cat pristine.unf pristine.unf >twice.unf && mv twice.unf pristine.unf
  cat expected.unf expected.unf >twice.unf && mv twice.unf expected.unf
done
cp pristine.unf big.unf
verifying=$'Verifying 5 Bytes at Offset 8.\r\n'
summary=$'Completed.  Updated 98304 Lines.\r\nRejected 32768 Lines due to record length errors.\r\n'
spinner=$(awk 'BEGIN { split("- \\ | /", glyph, " ")
  for (i = 0; i <= 131072; i++) printf "%s\b", glyph[i % 4 + 1] }')

begin "a dump several buffers long"
run big.unf out.unf 8 5
expect 0 "$summary" "$verifying$spinner"
cmp -s out.unf expected.unf || fail "out.unf is not the expected output"

ln big.unf hard.unf
ln -s big.unf link.unf
for dest in big.unf BIG.UNF Big.Unf '.\big.unf' "$(winepath -w big.unf 2>/dev/null)" \
  hard.unf link.unf; do
  begin "same file as $dest"
  run big.unf "$dest" 8 5
  expect 1 "" "$verifying"$"Destination File <$dest> is the source file."$'\r\n'
done
[[ $(ls | sort | tr '\n' ' ') == "big.unf expected.unf hard.unf link.unf pristine.unf stderr stdout " ]] ||
  fail "files were created: $(ls)"

begin "names beyond ASCII"
cp "$examples/sample.unf" данные.unf
run данные.unf données-été.unf 8 5
cmp -s données-été.unf "$examples/sample-fixed.unf" || fail "données-été.unf"
expect 0 $'Completed.  Updated 3 Lines.\r\nRejected 1 Lines due to record length errors.\r\n' \
  "$verifying"$'-\b\\\b|\b/\b-\b'
begin "a name beyond ASCII in a message, as UTF-8"
run нет.unf out.unf 8 5
expect 1 "" "$verifying"$'Unable to open source file <\xd0\xbd\xd0\xb5\xd1\x82.unf>.\r\n'

begin "source is a directory"
mkdir dir
run dir out.unf 8 5
expect 1 "" "$verifying"$'Unable to open source file <dir>.\r\n'
[[ ! -e out.unf ]] || fail "out.unf was created"

begin "the null device as destination"
run big.unf NUL 8 5
expect 0 "$summary" "$verifying$spinner"
[[ ! -e NUL && ! -e nul ]] || fail "a file named NUL was created"

begin "no standard handles at all"
"$wine" "$launch" closed-std "$mendrik" big.unf out.unf 8 5 >stdout 2>stderr
rc=$?
expect 0 "" ""
cmp -s out.unf expected.unf || fail "out.unf is not the expected output"

begin "destination pipe whose reader has gone"
"$wine" "$launch" pipe-reader-gone '\\.\pipe\mendrik-test' \
  "$mendrik" big.unf '\\.\pipe\mendrik-test' 8 5 >stdout 2>stderr
rc=$?
message="Error writing Destination File <\\\\.\\pipe\\mendrik-test>."$'\r\n'
# The spinner's glyphs before the message depend on when the pipe fills.
[[ $(cat stderr; echo x) == "$verifying"*"$message"x ]] || fail "stderr: $(tail -c 100 stderr | od -c)"
: >stderr
expect 1 "" ""

begin "standard output full"
"$wine" "$mendrik" big.unf out.unf 8 5 >/dev/full 2>stderr
rc=$?
: >stdout
expect 1 "" "$verifying$spinner"$'Error writing standard output.\r\n'
cmp -s out.unf expected.unf || fail "out.unf is not the expected output"

finish
echo "$passed passed, $failed failed"
((failed == 0))
