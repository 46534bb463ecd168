#!/usr/bin/env bash
# kandrel answers --help, --version and usage errors without a display: with no DISPLAY and
# the xcb platform forced, creating the window system would abort the program.
#   editor_command_line.sh KANDREL
set -uo pipefail
kandrel=$1
failed=0 passed=0
export QT_QPA_PLATFORM=xcb
unset DISPLAY WAYLAND_DISPLAY

check() {  # check NAME EXPECTED_RC PATTERN_IN_OUTPUT ARGS...
  local name=$1 want=$2 pattern=$3
  shift 3
  local out rc
  out=$("$kandrel" "$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL: $name: kandrel $* exited $rc (want $want), output:"
    echo "$out"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
}

check help 0 '--version' --help
check help-short 0 '--help' -h
check help-all 0 '--version' --help-all
check version 0 '^Kandrel [0-9]+\.[0-9]+' --version
check qt-options-pass 0 '^Kandrel ' -platform offscreen -style fusion -reverse --version
check unknown-option 2 "bogus" --bogus
check two-files 2 '--help' a.kdl b.kdl
check merge-without-out 2 '--merge' --merge b.kdl o.kdl t.kdl
check merge-two-files 2 '--merge' --merge b.kdl o.kdl -o out.kdl

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
