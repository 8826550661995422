#!/usr/bin/env bash
# The real program in its window under Xvfb, with a simulated controller on a
# pseudo-terminal and a short script: command lines run, the language is
# switched, a [USERCHECK] is answered with a key press, [EXIT] ends the run.
# It must exit 0, write what the script saved, and say nothing on stderr.
#   window_run.sh BIN_DIR
set -euo pipefail
bin=$1
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || exit 77  # skipped
work=$(mktemp -d)
trap 'kill "${sim:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/data/AppConfig" "$work/data/AppLanguages" "$work/data/AppPrograms/AutoControl" \
  "$work/xdg"
chmod 700 "$work/xdg"
cp "$bin"/demo-data/AppLanguages/*.lng "$work/data/AppLanguages/"
"$bin/halvorn-sim" --address 01 --link "$work/tty" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
printf 'Axis 01 {%s:115200}\r\n' "$work/tty" >"$work/data/AppConfig/COMM_Ports.cfg"
cat >"$work/data/AppPrograms/AutoControl/autocontrol_7.txt" <<'SCRIPT'
[SHOWMODE2]
[CMDREPLY1]ID,LSPD=500,LSPD
[LANGUAGE2]
[CMDVERIFY]HSPD=5000,HSPD {OK,5000}
[LANGUAGE1]
[USERCHECK]Does the motor run smoothly
[STORERESULTS]
[SAVERESULTS1]
[EXIT]
SCRIPT

# The run, inside the X server: the operator waits for the pass/fail
# question (a second window of the program) and presses Enter on its first
# button, Pass.
cat >"$work/run.sh" <<'RUN'
"$bin/halvorn-terminal" --data-root "$work/data" /A7 2>"$work/stderr" &
program=$!
for _ in $(seq 300); do
  mapfile -t windows < <(xdotool search --onlyvisible --classname halvorn-terminal 2>/dev/null | sort -n)
  if [ "${#windows[@]}" -ge 2 ]; then
    sleep 0.3  # the question is on screen and has its focus
    xdotool windowfocus --sync "${windows[-1]}" key Return
    break
  fi
  sleep 0.05
done
wait "$program"
RUN
# No session bus: whatever bus the caller's environment names, Qt's
# accessibility and menu probes find none and give up at once, the same on
# every machine.
status=0
bin=$bin work=$work XDG_RUNTIME_DIR="$work/xdg" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/xdg/bus" \
  timeout 60 \
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
  bash "$work/run.sh" || status=$?
results="$work/data/AppPrograms/AutoControl/testresults1.txt"
fail() {
  echo "window run: $*; its standard error:" >&2
  cat "$work/stderr" >&2
  exit 1
}
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -s "$work/stderr" ] || fail "the program wrote to standard error"
grep -q "Reply: 5000" "$results" || fail "the command lines did not run"
grep -q "Check State = PASS" "$results" || fail "the key press did not answer the check"
