#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# unless they are all there already.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev python3 python3-serial locales
          # the window: Qt 6 Widgets (with its Test module), Qt's own
          # translations for its dialogs, the fonts it maps the form tables'
          # faces to, a virtual display for its tests, and a window manager
          # there for the tests of the title bar's close button
          qt6-base-dev qt6-svg-dev qt6-translations-l10n fonts-liberation2 fonts-dejavu-core
          # the live plot of the replies that are numbers
          qt6-charts-dev
          xvfb xauth xdotool xclip openbox wmctrl
          # line editing in the headless line terminal
          libedit-dev
          # the station's records database, its shell for reading them back, and
          # the SHA-256 of the files a run names
          libsqlite3-dev sqlite3 libssl-dev
          # the factory's central database: libpq to reach PostgreSQL, and
          # the server itself, which the tests start privately
          libpq-dev pkg-config postgresql
          # real peers in the tests: a serial device server, a JUnit reader,
          # the package checkers
          ser2net python3-junitparser lintian desktop-file-utils dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
# A locale with a decimal comma, so the tests can show that reading and
# writing numbers never follows the process locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO localedef -i de_DE -c -f UTF-8 de_DE.UTF-8 || echo "note: no de_DE locale; one number test will be skipped" >&2
fi
