#!/usr/bin/env bash
# Against a real third-party watcher (Debian's status-notifier-watcher) on a private session bus:
# Kelvo's item appears among its RegisteredStatusNotifierItems and leaves them when Kelvo quits.
# usage: real_watcher.sh KELVO
set -euo pipefail
if [ -z "${KELVO_WATCHER_TEST_BUS:-}" ]; then
    exec env KELVO_WATCHER_TEST_BUS=1 dbus-run-session --config-file="$(dirname "$0")/../support/session-bus.conf" -- bash "$0" "$@"
fi
kelvo=$1
export QT_QPA_PLATFORM=offscreen
unset WAYLAND_DISPLAY DISPLAY
. "$(dirname "$0")/../support/desktop.sh"
items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems 2>/dev/null |
        grep -o 'string "[^"]*"' || true
}
watcher_there() { dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q true; }
registered() { [ -n "$(items)" ]; }
gone() { [ -z "$(items)" ]; }

status-notifier-watcher >"$work/watcher.log" 2>&1 &
pids+=($!)
until_true watcher_there || fail "the watcher did not start"

mkdir -m 700 "$work/run"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" KELVO_API_URL=http://127.0.0.1:9 \
    "$kelvo" >"$work/kelvo.log" 2>&1 &
kelvo_pid=$!
pids+=("$kelvo_pid")
until_true registered || fail "Kelvo's item was not registered"
echo "registered: $(items)"

kill -TERM "$kelvo_pid"
wait "$kelvo_pid" 2>/dev/null || true
until_true gone || fail "the item stayed registered after Kelvo quit: $(items)"
echo "PASS"
