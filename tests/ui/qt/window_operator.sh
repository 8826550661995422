#!/usr/bin/env bash
# An operator's day under a window manager (openbox), with the keyboard
# alone: the real program runs the production example on a simulated
# controller, twice. In the first run the first unit is passed and the
# second unit's serial-number dialog is closed with the title bar's close
# button: that is ESC, so the script saves and stops and no unit runs on
# with an empty serial number. In the second run the unit is cut short by
# ESC at the question: nobody judged it, so its row is in the fail table as
# ESC. The pass table holds the passed unit alone, with its position read
# after the move ended. Each run ends with the main window's close button.
#   window_operator.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$1
source_dir=$2
for tool in xvfb-run xdotool openbox wmctrl; do command -v $tool >/dev/null || exit 77; done  # skipped
source "$(dirname "$0")/simulated_station.sh"
cp "$source_dir/docs/examples/autocontrol_2.txt" "$work/data/AppPrograms/AutoControl/"

cat >"$work/run.sh" <<'RUN'
openbox >/dev/null 2>&1 &
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done
step() { echo "$(date +%T.%N | cut -c1-12) $*" >>"$work/steps"; }
# A window manager lists the windows in its stacking order, which changes as
# they take the keyboard; the program's windows are told apart by their ids
# instead, which grow with each window it makes: the main window is the
# first, the newest dialog the last.
dialog() {  # waits until a new dialog is up and has the keyboard
  for _ in $(seq 300); do
    mapfile -t windows < <(xdotool search --onlyvisible --classname halvorn-terminal 2>/dev/null | sort -n)
    if [ "${#windows[@]}" -ge 2 ] && [ "${windows[-1]}" != "${last:-}" ]; then
      last=${windows[-1]}
      sleep 0.3
      xdotool windowactivate --sync "$last" 2>/dev/null || true
      return 0
    fi
    sleep 0.05
  done
  return 1
}
run() {  # run N KEYS...: one run of the script, its dialogs answered in turn
  "$bin/halvorn-terminal" --data-root "$work/data" /A2 2>>"$work/stderr" &
  program=$!
  local answer
  for answer in "${@:2}"; do
    step "run $1: waiting for the dialog for $answer"
    dialog || { echo "run $1: no dialog for $answer" >"$work/why"; return 1; }
    case $answer in
      close) wmctrl -i -c "$(printf '0x%x' "$last")" ;;  # the title bar's close button
      SN-*) xdotool type --delay 20 "$answer" && xdotool key Return ;;
      *) xdotool key "$answer" ;;
    esac
  done
  step "run $1: waiting for the tables"
  local results=$work/data/AppPrograms/AutoControl/AutoResults/MotorTest000$1
  for _ in $(seq 200); do [ -e "${results}_Fail.csv" ] && break; sleep 0.05; done
  sleep 0.3
  step "run $1: closing the main window"
  local main
  main=$(xdotool search --onlyvisible --classname halvorn-terminal | sort -n | head -1)
  wmctrl -i -c "$(printf '0x%x' "$main")"
  local status=0
  step "run $1: waiting for the program to end"
  for _ in $(seq 400); do kill -0 "$program" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$program" 2>/dev/null && { echo "run $1: the close button did not end it" >"$work/why"; return 1; }
  wait "$program" || status=$?
  step "run $1: ended with $status"
  echo "$status" >"$work/status$1"
}
run 1 SN-1 Return close && run 2 SN-2 Escape
RUN
fail() {
  echo "window operator: $1; its standard error:" >&2
  cat "$work/stderr" >&2
  cat "$work/steps" >&2 2>/dev/null || true
  exit 1
}
bin=$bin work=$work XDG_RUNTIME_DIR="$work/xdg" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/xdg/bus" \
  timeout 90 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
  bash "$work/run.sh" || fail "the run under Xvfb failed: $(cat "$work/why" 2>/dev/null)"
[ ! -e "$work/why" ] || fail "$(cat "$work/why")"
[ "$(cat "$work/status1") $(cat "$work/status2")" = "0 0" ] ||
  fail "exit statuses $(cat "$work/status1") $(cat "$work/status2")"
table() { cut -d, -f"$2" "$work/data/AppPrograms/AutoControl/AutoResults/MotorTest000$1" | tr -d '\r'; }
grep -q "SN-1" "$work/data/AppPrograms/AutoControl/AutoResults/MotorTest0001.txt" ||
  fail "the serial number is not in the result text"
[ "$(table 1_Pass.csv 1,3,4)" = $'Serial,Position,Result\nSN-1,2000,Pass' ] ||
  fail "run 1's pass table: $(table 1_Pass.csv 1,3,4)"
# No unit of an empty serial number, and none in the other table.
[ "$(table 1_Fail.csv 1)" = "" ] || fail "run 1's fail table: $(table 1_Fail.csv 1,4)"
[ "$(table 2_Pass.csv 1)" = "" ] || fail "run 2's pass table: $(table 2_Pass.csv 1,4)"
[ "$(table 2_Fail.csv 1,4)" = $'Serial,Result\nSN-2,ESC' ] ||
  fail "run 2's fail table: $(table 2_Fail.csv 1,4)"
