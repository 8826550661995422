# Sourced by the window tests with $bin set: a private work folder (removed
# at exit) with a data root and an XDG runtime folder, and a simulated
# controller at address 01 on a serial link that the port list names.
work=$(mktemp -d)
trap 'kill "${sim:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/xdg" "$work/data/AppPrograms/AutoControl" "$work/data/AppConfig"
chmod 700 "$work/xdg"
"$bin/halvorn-sim" --address 01 --link "$work/tty" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
printf 'Axis 01 {%s:115200}\r\n' "$work/tty" >"$work/data/AppConfig/COMM_Ports.cfg"
