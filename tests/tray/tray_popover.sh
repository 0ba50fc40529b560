#!/usr/bin/env bash
# Under Xvfb with a real tray host (trayer): Kelvo, signed in to a demo session with a timer
# running, shows its tray icon; a left click on the icon opens the popover below it. Saves a
# screenshot of the screen with the popover open, then runs TRAY_CLICKS (tst_trayclicks) there.
# Everything runs on its own X display and its own session bus, on the xcb platform, whatever the
# caller's environment holds.
# usage: tray_popover.sh KELVO KELVO_SERVER KELVO_SCREENSHOT OUTPUT.png TRAY_CLICKS
set -euo pipefail
if [ -z "${KELVO_TRAY_TEST_BUS:-}" ]; then
    exec env KELVO_TRAY_TEST_BUS=1 dbus-run-session --config-file="$(dirname "$0")/../support/session-bus.conf" -- bash "$0" "$@"
fi
kelvo=$1 server=$2 screenshot=$3 output=$4 tray_clicks=$5
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME
. "$(dirname "$0")/../support/desktop.sh"
# The id of a Kelvo window whose size matches the pattern, waiting up to $2 tenths of a second.
kelvo_window() {
    for _ in $(seq "$2"); do
        for window in $(xdotool search --class kelvo 2>/dev/null); do
            if xdotool getwindowgeometry "$window" | grep -q "Geometry: $1"; then
                echo "$window"
                return
            fi
        done
        sleep 0.1
    done
}

start_display
trayer --edge top --align right --widthtype request --height 24 --transparent false >/dev/null 2>&1 &
pids+=($!)

start_signed_in_server "$server"
curl -sf -X POST "$url/time-entries/start" -H "Authorization: Bearer $token" -d '{}' >/dev/null

start_kelvo

# Kelvo's icon, embedded in the tray, is its only window of about 22 px square.
icon=$(kelvo_window '2[0-9]x2[0-9]' 300)
[ -n "$icon" ] || fail "no tray icon appeared"
eval "$(xdotool getwindowgeometry --shell "$icon")"
icon_x=$X icon_y=$Y icon_w=$WIDTH icon_h=$HEIGHT
wait_for_data

xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1
popover=$(kelvo_window '300x400' 50)
[ -n "$popover" ] || fail "the popover did not open"
eval "$(xdotool getwindowgeometry --shell "$popover")"
[ "$Y" -ge $((icon_y + icon_h)) ] || fail "the popover is not below the icon (icon at y=$icon_y, popover at y=$Y)"
[ $((X + WIDTH)) -le 1024 ] || fail "the popover leaves the screen"
sleep 0.5
"$screenshot" "$output" || fail "no screenshot"
echo "tray icon at $icon_x,$icon_y; popover at $X,$Y; screenshot: $output"

# The clicks test puts an item of its own into the same tray; Kelvo leaves first.
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
unset 'pids[-1]'
XDG_RUNTIME_DIR="$work" "$tray_clicks" || fail "tray clicks"
