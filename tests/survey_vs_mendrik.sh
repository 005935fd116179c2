#!/usr/bin/env bash
# The survey's dry run must say what mendrik then does: over several dumps
# (lenient, cut short, several buffers long) and windows, the counts it
# gives are mendrik's summary, the bytes it says would change are the bytes
# that do, and where it says mendrik would stop, mendrik stops there.
#
#   survey_vs_mendrik.sh EMULATOR MENDRIK MENDRIK_SURVEY WORK_DIR
#
# EMULATOR is empty, or what runs the programs (Wine, for the Windows build).
set -u
emulator=$1 mendrik=$(realpath "$2") survey=$(realpath "$3") work=$4
top=$(cd "$(dirname "$0")/.." && pwd)
run() { if [[ -n $emulator ]]; then "$emulator" "$@"; else "$@"; fi; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp "$top/examples/survey.unf" survey.unf
cp "$top/examples/sample.unf" sample.unf
cp "$top/tests/survey/lenient/input.unf" lenient.unf
cp "$top/tests/survey/short_image/input.unf" short.unf
cp "$top/tests/survey/bad_prefix/input.unf" bad.unf
cp survey.unf long.unf
for ((i = 0; i < 10; i++)); do cat long.unf long.unf >twice.unf && mv twice.unf long.unf; done

# json_field NAME FILE: the number after "NAME": in the window object.
json_field() { sed -n '/"window"/,$p' "$2" | sed -n "s/^ *\"$1\": \\([0-9]*\\).*/\\1/p" | head -n 1; }

failed=0 passed=0
for dump in survey sample lenient short bad long; do
  for window in "41 9" "54 5" "0 61" "8 5" "60 10" "0 0" "57000 0" "14 2" "5 3" "3 1"; do
    name="$dump.unf at $window"
    rm -f out.unf same.unf
    run "$survey" --json $dump.unf $window >survey.json 2>/dev/null
    run "$mendrik" $dump.unf out.unf $window >mendrik.out 2>/dev/null
    mendrik_status=$?
    updated=$(json_field updated survey.json)
    rejected=$(json_field rejected survey.json)
    kind=$(sed -n 's/^ *"kind": "\(.*\)".*/\1/p' survey.json)
    problems=
    if [[ $kind == bad-prefix || $kind == short-image ]]; then
      [[ $mendrik_status == 1 && ! -s mendrik.out ]] ||
        problems+=" mendrik did not stop (status $mendrik_status)"
    else
      expected="Completed.  Updated $updated Lines."$'\r\n'
      ((rejected > 0)) && expected+="Rejected $rejected Lines due to record length errors."$'\r\n'
      [[ $mendrik_status == 0 && $(cat mendrik.out; echo x) == "$expected"x ]] ||
        problems+=" summary $(od -c mendrik.out | head -n 2)"
    fi
    # The same copy with nothing repaired, to count the bytes that changed.
    run "$mendrik" $dump.unf same.unf 0 0 >/dev/null 2>&1
    changed=$(cmp -l same.unf out.unf 2>/dev/null | wc -l)
    [[ $changed == "$(json_field changed_bytes survey.json)" ]] ||
      problems+=" $changed bytes changed, survey said $(json_field changed_bytes survey.json)"
    if [[ -n $problems ]]; then
      echo "FAIL $name:$problems"
      failed=$((failed + 1))
    else
      passed=$((passed + 1))
    fi
  done
done
echo "$passed passed, $failed failed"
((failed == 0))
