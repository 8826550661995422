#!/usr/bin/env bash
# window_placement.sh BIN_DIR: the real program under Xvfb (no window manager,
# no frame). [RESIZEAPP]LEFT and CENTER MAX put the window where xdotool reads
# it back; "?" with no help file in the data folder opens the help window.
set -euo pipefail
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || exit 77  # skipped
export bin=$1 work
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/AppPrograms/AutoControl" "$work/xdg" && chmod 700 "$work/xdg"
# Each [USERINPUT] holds the script while the test looks; Enter answers it.
printf '%s\r\n' '[USERINPUT]moved' '[RESIZEAPP]LEFT' '[USERINPUT]left' '[RESIZEAPP]CENTER MAX' \
  '[USERINPUT]centred' >"$work/data/AppPrograms/AutoControl/autocontrol.txt"
cat >"$work/run.sh" <<'RUN'
fail() { echo "window placement: $* $(cat "$work/stderr")" >&2; kill "$program"; exit 1; }
until_ok() { for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done; return 1; }
windows() { xdotool search --onlyvisible --classname halvorn-terminal; }
dialog() { [ "$(windows | wc -l)" -ge 2 ] && xdotool windowfocus --sync "$(windows | tail -1)" key Return; }
at() { xdotool getwindowgeometry --shell "$main" | tr '\n' ' ' | grep -q "X=$1 Y=$2 WIDTH=$3 HEIGHT=$4 "; }
QT_FONT_DPI=96 "$bin/halvorn-terminal" --data-root "$work/data" 2>"$work/stderr" & program=$!
until_ok xdotool search --onlyvisible --name "^Halvorn Terminal" || fail "no window"
main=$(xdotool search --onlyvisible --name "^Halvorn Terminal" | head -1)
xdotool windowmove --sync "$main" 300 200
# A 1280 x 1024 screen; the window's client area is 472 x 660 (59 x 41.25 units).
until_ok dialog && until_ok at 0 200 472 660 || fail "LEFT: $(xdotool getwindowgeometry "$main")"
until_ok dialog && until_ok at 404 0 472 1024 || fail "CENTER MAX: $(xdotool getwindowgeometry "$main")"
until_ok dialog && sleep 0.5 || fail "no dialog"
xdotool mousemove --window "$main" 459 19 click 1  # "?" at 55.875, 0.1875 units
until_ok xdotool search --onlyvisible --name "Halvorn Terminal Help" || fail "no help window"
kill "$program"
RUN
# -noreset: xdotool, polling before the program connects, must not reset the server.
XDG_RUNTIME_DIR="$work/xdg" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/xdg/bus" timeout 60 xvfb-run -a -n $((100 + RANDOM % 800)) \
  -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" bash "$work/run.sh"
