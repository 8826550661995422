#!/usr/bin/env bash
# The real program in its window under Xvfb with a session log: stored
# program 1 puts 100,000 exchanges on the display (a simulated board that
# answers at once), Ctrl+F opens the find bar, a text found in 99,999 of
# the entries is typed (the bar shows their count), Enter,
# Shift+Enter and ESC work in the bar; three lines pasted into the command
# entry run at Enter as three command lines; then SIGTERM ends the run. The
# log must hold every line of the display, each after an ISO 8601 time that
# never goes back, and no ABORT: the bar's Enter and ESC never reached the
# window's own keys. The window's plot (Ctrl+G) saves its table of the one
# reply that was a number. A screenshot of the bar is left where GRAB names, if set.
#   window_find.sh BIN_DIR
set -euo pipefail
bin=$1
for tool in xvfb-run xdotool xclip; do command -v $tool >/dev/null || exit 77; done  # skipped
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/data/AppConfig" "$work/data/AppPrograms" "$work/xdg"
chmod 700 "$work/xdg"
entries=${ENTRIES:-100000}
awk -v n=$entries 'BEGIN { for (i = 1; i < n; ++i) printf "ID\r\n"; printf "LSPD=4321\r\n" }' \
  >"$work/data/AppPrograms/test01.prg"

cat >"$work/run.sh" <<'RUN'
# Each step is noted; a wait that runs out says which and ends the run, so a
# failure names its step instead of running into the outer time limit.
step() { echo "$(date +%T.%N | cut -c1-12) $*" >>"$work/steps"; }
give_up() { echo "$*" >"$work/why"; kill -KILL "$program" 2>/dev/null; exit 4; }
"$bin/halvorn-terminal" --data-root "$work/data" --session-log 2>"$work/stderr" &
program=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --classname halvorn-terminal 2>/dev/null | head -1) || true
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || give_up "no window"
sleep 0.3
step "running stored program 1"
xdotool windowfocus --sync "$window" key ctrl+F1
# The program has run when its last line is in the log (under the
# sanitizers, with whole stacks recorded for every allocation, that takes a
# minute or more). The window gives the keyboard to the command entry when
# the run ends; a find bar open by then keeps it.
for _ in $(seq 2400); do
  grep -qs "LSPD=4321" "$work"/data/TermDisplay/session-*.log && break
  sleep 0.1
done
grep -qs "LSPD=4321" "$work"/data/TermDisplay/session-*.log || give_up "the program did not end"
step "finding"
xdotool windowfocus --sync "$window" key ctrl+f
xdotool windowfocus --sync "$window" type --delay 20 'sim board'
xdotool windowfocus --sync "$window" key Return key shift+Return key Return
sleep 0.3
[ -z "${GRAB:-}" ] || "$bin/halvorn-grab" "$GRAB" || true
xdotool windowfocus --sync "$window" key Escape
sleep 0.3
# The bar gave the keyboard back to the command entry: a paste of three
# lines there, and Enter.
step "pasting"
printf 'LSPD=611\nHSPD=6112\nLSPD\n' | xclip -selection clipboard
xdotool windowfocus --sync "$window" key ctrl+v key Return
for _ in $(seq 100); do
  [ "$(grep -chs ' >> LSPD$' "$work"/data/TermDisplay/session-*.log)" = 1 ] && break
  sleep 0.1
done
# The window's plot kept the run's numbers: Ctrl+G, then its Save Table...
# button (the newest window is the plot, then its file dialog).
step "plotting"
newest() { xdotool search --onlyvisible --classname halvorn-terminal 2>/dev/null | sort -n | tail -1; }
xdotool windowfocus --sync "$window" key ctrl+g
for _ in $(seq 300); do [ "$(newest)" != "$window" ] && break; sleep 0.1; done
plot=$(newest)
[ "$plot" != "$window" ] || give_up "no plot window"
sleep 0.5
xdotool mousemove --window "$plot" 324 21 click 1
for _ in $(seq 300); do [ "$(newest)" != "$plot" ] && break; sleep 0.1; done
dialog=$(newest)
[ "$dialog" != "$plot" ] || give_up "no file dialog"
step "saving the table"
xdotool windowfocus --sync "$dialog" type --delay 20 "$work/plot.csv"
# Return again while the name's completion list took the last one.
for _ in $(seq 5); do
  sleep 0.5
  xdotool windowfocus --sync "$dialog" key Return 2>/dev/null || break
  for _ in $(seq 50); do [ -s "$work/plot.csv" ] && break 2; sleep 0.1; done
done
[ -s "$work/plot.csv" ] || give_up "the file dialog did not save the table"
step "stopping"
kill -TERM "$program"
for _ in $(seq 900); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && give_up "SIGTERM did not end the program"
wait "$program"
RUN
status=0
bin=$bin work=$work XDG_RUNTIME_DIR="$work/xdg" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/xdg/bus" \
  HALVORN_SIM_HID_BOARDS=1 HALVORN_SIM_INSTANT=1 timeout 360 \
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
  bash "$work/run.sh" || status=$?
fail() {
  echo "window find: $*: $(cat "$work/why" 2>/dev/null); its steps and standard error:" >&2
  cat "$work/steps" "$work/stderr" >&2
  exit 1
}
[ "$status" -eq 143 ] || fail "exit status $status (143 expected: SIGTERM)"
logs=("$work"/data/TermDisplay/session-*.log)
[ "${#logs[@]}" -eq 1 ] && [ -f "${logs[0]}" ] || fail "not one session log: ${logs[*]}"
# Every line: the stamp, then a line as the display shows it; the stamps in
# order (one offset all run long, so the text orders as the time).
python3 - "${logs[0]}" "$entries" <<'PY' || fail "the session log is not the display's"
import re, sys
lines = open(sys.argv[1], encoding="latin-1").read().split("\n")
assert lines[-1] == "", "the log does not end with a whole line"
lines = lines[:-1]
entries = int(sys.argv[2])
stamp = re.compile(r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*)\Z")
shown, last = [], ""
for line in lines:
    m = stamp.match(line)
    assert m, "no ISO 8601 stamp: %r" % line
    assert m.group(1) >= last, "a stamp goes back: %r" % line
    last = m.group(1)
    shown.append(m.group(2))
expected = ["Load: test01.prg", "Run: test01.prg"]
for i in range(entries - 1):
    expected += [" >> ID", "      Reply: Torvane Sim Board 1 ("]
expected += [" >> LSPD=4321", " >> LSPD=611", " >> HSPD=6112", " >> LSPD", "      Reply: 611 ("]
body = [re.sub(r"\(\.?[0-9.]+ms\)$", "(", s) for s in shown if not s.startswith("      Reply: OK")]
assert body[:len(expected)] == expected, "the display's lines differ: %r" % body[len(expected) - 6:len(expected) + 2]
# SIGTERM's own ESC sends one ABORT; one more would be the bar's ESC.
assert sum(s == " >> ABORT" for s in shown) == 1, "a key of the find bar reached the window"
PY
# The one reply that was a number, as the plot's table has it.
[ "$(sed -n '2s/,[^,]*,/,t,/p' "$work/plot.csv" 2>/dev/null | tr -d '\r')" = "LSPD,t,611" ] ||
  fail "the window's plot table is not the run's: $(head -3 "$work/plot.csv" 2>&1)"
echo "window find: $entries entries logged and found"
