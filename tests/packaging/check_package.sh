#!/bin/sh
# Checks of the installation and the Debian package, run by CTest:
#   check_package.sh desktop-entry|install-prefix|debian-package BUILD SOURCE VERSION
# Exit 77 (skipped) only when a tool the check needs is not installed.
set -u
check=$1 build=$2 source=$3 version=$4
tmp=$(mktemp -d /tmp/halvorn-package-XXXXXX) || exit 1
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || { echo "SKIP: $1 is not installed" >&2; exit 77; }; }

# The first start of an installed program, with HOME and XDG_DATA_HOME as
# given: it lists the (no) devices and fills the user's data folder.
first_start() { # program home xdg expected-data-root
  local status=0
  if [ -n "$3" ]; then
    HOME=$2 XDG_DATA_HOME=$3 "$1" --list-devices >"$tmp/out" 2>&1 || status=$?
  else
    env -u XDG_DATA_HOME HOME="$2" "$1" --list-devices >"$tmp/out" 2>&1 || status=$?
  fi
  # A machine without controllers has an empty list, which says where
  # devices come from and ends with 3.
  { [ "$status" = 0 ] || { [ "$status" = 3 ] && grep -q "no devices found" "$tmp/out"; }; } ||
    fail "first start (exit $status): $(cat "$tmp/out")"
  for folder in AppLanguages AppPrograms/AutoControl/AutoResults AppConfig Docs; do
    [ -d "$4/$folder" ] || fail "no $4/$folder after the first start"
  done
  [ -s "$4/AppLanguages/terminal_de.lng" ] || fail "the shipped language file was not copied"
  [ -s "$4/Docs/simulator.md" ] || fail "the user guides were not copied"
  [ "$(stat -c %a "$4")" = 700 ] || fail "$4 is not the user's alone"
}

# --version names this version and --help exits with 0.
options() { # program
  "$1" --version 2>&1 | grep -q "$version" || fail "--version does not name $version"
  "$1" --help >/dev/null 2>&1 || fail "--help does not exit with 0"
}

case $check in
desktop-entry)
  need desktop-file-validate
  desktop-file-validate "$source/packaging/halvorn-terminal.desktop" || fail "desktop entry"
  grep -qx "Icon=halvorn-terminal" "$source/packaging/halvorn-terminal.desktop" || fail "icon name"
  ;;
install-prefix)
  cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/log" 2>&1 || fail "install: $(cat "$tmp/log")"
  for f in bin/halvorn-terminal bin/halvorn-terminal.real bin/halvorn-sim bin/halvorn-lang \
      bin/halvorn-results \
      share/halvorn-terminal/AppLanguages/terminal_de.lng share/halvorn-terminal/Docs/command-line.md \
      share/doc/halvorn-terminal/copyright share/doc/halvorn-terminal/changelog.gz \
      share/doc/halvorn-terminal/simulator.md share/doc/halvorn-terminal/examples/test01.prg \
      share/applications/halvorn-terminal.desktop \
      share/icons/hicolor/scalable/apps/halvorn-terminal.svg; do
    [ -f "$tmp/prefix/$f" ] || fail "not installed: $f"
  done
  if find "$tmp/prefix" -name '*.so*' | grep -q .; then fail "a shared library was installed"; fi
  program=$tmp/prefix/bin/halvorn-terminal
  first_start "$program" "$tmp/home" "" "$tmp/home/.local/share/halvorn-terminal"
  first_start "$program" "$tmp/home2" "$tmp/xdg" "$tmp/xdg/halvorn-terminal"
  [ ! -e "$tmp/home2" ] || fail "XDG_DATA_HOME was not used"
  [ ! -e "$tmp/prefix/bin/AppConfig" ] || fail "data written beside the installed program"
  # A later start keeps what the user changed.
  echo mine >"$tmp/xdg/halvorn-terminal/Docs/simulator.md"
  first_start "$program" "$tmp/home2" "$tmp/xdg" "$tmp/xdg/halvorn-terminal"
  [ "$(cat "$tmp/xdg/halvorn-terminal/Docs/simulator.md")" = mine ] || fail "a user's file was replaced"
  options "$program"
  # The records program reads only: without records it says so (3) and
  # creates no data folder.
  "$tmp/prefix/bin/halvorn-results" --help >/dev/null 2>&1 || fail "halvorn-results --help"
  status=0
  HOME=$tmp/home3 XDG_DATA_HOME= "$tmp/prefix/bin/halvorn-results" runs >"$tmp/out" 2>&1 || status=$?
  [ "$status" = 3 ] || fail "halvorn-results without records: $status $(cat "$tmp/out")"
  [ ! -e "$tmp/home3" ] || fail "halvorn-results created a data folder"
  ;;
debian-package)
  need dpkg-deb; need dpkg-shlibdeps; need lintian
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/log" 2>&1 || fail "cpack: $(cat "$tmp/log")"
  deb=$(ls "$tmp"/*.deb) || fail "no package"
  lintian --fail-on error "$deb" || fail "lintian reports errors"
  dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no library dependencies"
  # With the window, the plot window's Qt Charts comes with it.
  if dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6; then
    dpkg-deb -f "$deb" Depends | grep -q libqt6charts6 || fail "Qt Charts is no dependency"
  fi
  # The package's own files run as installed.
  dpkg-deb -x "$deb" "$tmp/root" || fail "cannot unpack"
  first_start "$tmp/root/usr/bin/halvorn-terminal" "$tmp/home" "" "$tmp/home/.local/share/halvorn-terminal"
  options "$tmp/root/usr/bin/halvorn-terminal"
  [ -x "$tmp/root/usr/bin/halvorn-results" ] || fail "halvorn-results is not in the package"
  # apt resolves its dependencies on this system (a simulation: nothing is installed).
  if command -v apt-get >/dev/null 2>&1; then
    apt-get -s install "$deb" >"$tmp/apt" 2>&1 || fail "apt: $(cat "$tmp/apt")"
    grep -q "^Inst halvorn-terminal" "$tmp/apt" || fail "apt would not install it: $(cat "$tmp/apt")"
  fi
  ;;
*) fail "unknown check $check" ;;
esac
echo "PASS: $check"
