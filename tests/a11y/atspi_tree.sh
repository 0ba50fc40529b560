#!/usr/bin/env bash
# Under Xvfb, on a session bus of its own with the accessibility bus: Kelvo, signed in to the demo
# account with no timer running, is read and driven over AT-SPI by atspi_tree.py (Debian's
# python3-pyatspi, run by /usr/bin/python3 whatever python the PATH holds).
# usage: atspi_tree.sh KELVO KELVO_SERVER
set -euo pipefail
if [ -z "${KELVO_ATSPI_TEST_BUS:-}" ]; then
    exec env KELVO_ATSPI_TEST_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
kelvo=$1 server=$2
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME QT_ACCESSIBILITY NO_AT_BRIDGE
. "$here/../support/desktop.sh"

start_display
start_signed_in_server "$server"
# The accessibility bus is up before Kelvo starts, as on a desktop session.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || fail "no accessibility bus (at-spi2-core)"
start_kelvo
wait_for_data
# With no window manager nothing activates the window but Kelvo itself, as it does when asked.
run_kelvo show || fail "kelvo show"
/usr/bin/python3 "$here/atspi_tree.py" || fail "the accessibility tree"
