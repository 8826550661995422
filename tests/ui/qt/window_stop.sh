#!/usr/bin/env bash
# A stop signal ends the window run as it ends a headless one. The real
# program in its window under Xvfb, with a simulated controller, runs a
# production loop: the first unit is answered and passed, the second one's
# serial-number dialog is on the screen when SIGTERM (or SIGHUP) comes. The
# run must end with 128 + the signal, its result text and CSV tables
# written, the first unit in the pass table and nothing of the second unit
# passed.
#   window_stop.sh BIN_DIR
set -euo pipefail
bin=$1
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || exit 77  # skipped
source "$(dirname "$0")/simulated_station.sh"
cat >"$work/data/AppPrograms/AutoControl/autocontrol_2.txt" <<'SCRIPT'
[SAVERESULTSAUTOESC]Stop
[TRACKCSVRESULTS]
[DEFINECSV]Serial(V1)Result(PF)
[DEVICE1]
[LOOPSTART]
[VARINPUT1]Enter Serial Number
[ESCSTOP]
[CMDREPLY1]ID
[USERCHECK]Does the motor run smoothly
[STORERESULTS]
[UPDATECSV]
[LOOPEND]
[ESCSTOP]
SCRIPT

# Inside the X server: waits for the program's second window (a dialog) to
# show `count` times in all, each time typing `keys` into it.
cat >"$work/run.sh" <<'RUN'
dialog() {  # dialog N: waits until a dialog is up for the Nth time
  for _ in $(seq 400); do
    mapfile -t windows < <(xdotool search --onlyvisible --classname halvorn-terminal 2>/dev/null | sort -n)
    if [ "${#windows[@]}" -ge 2 ] && [ "${windows[-1]}" != "${last:-}" ]; then
      last=${windows[-1]}
      sleep 0.3  # on screen and with its focus
      return 0
    fi
    sleep 0.05
  done
  return 1
}
"$bin/halvorn-terminal" --data-root "$work/data" /A2 2>"$work/stderr" &
program=$!
dialog && xdotool windowfocus --sync "$last" type --delay 20 'SN-1'
xdotool windowfocus --sync "$last" key Return
dialog && xdotool windowfocus --sync "$last" key Return  # Pass
dialog && kill -"$signal" "$program"
status=0
wait "$program" || status=$?
echo "$status" >"$work/status"
RUN
fail() {
  echo "window stop ($1): $2; its standard error:" >&2
  cat "$work/stderr" >&2
  exit 1
}
for signal in TERM HUP; do
  rm -rf "$work/data/AppPrograms/AutoControl/AutoResults" "$work/status"
  bin=$bin work=$work signal=$signal XDG_RUNTIME_DIR="$work/xdg" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/xdg/bus" timeout 60 \
    xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
    bash "$work/run.sh" || fail $signal "the run under Xvfb failed"
  number=$(kill -l "$signal")
  [ "$(cat "$work/status")" = $((128 + number)) ] ||
    fail $signal "exit status $(cat "$work/status"), not $((128 + number))"
  results="$work/data/AppPrograms/AutoControl/AutoResults/Stop0001"
  grep -q "Check State = PASS" "$results.txt" || fail $signal "no result text of the first unit"
  [ "$(cat "$results"_Pass.csv)" = $'Serial,Result\r\nSN-1,Pass\r' ] ||
    fail $signal "the pass table is not the first unit alone: $(cat -A "$results"_Pass.csv)"
  [ -e "$results"_Fail.csv ] || fail $signal "no fail table"
done
