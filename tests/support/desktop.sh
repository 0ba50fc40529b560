# The pieces the whole-program tests share: a private work folder whose processes end with the
# script, an X display of their own, and kelvo-server with the demo data signed in to.
# Sourced by a script that runs under `set -euo pipefail`.

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    if [ -f "$work/kelvo.log" ]; then tail -5 "$work/kelvo.log" >&2; fi
    exit 1
}

# Waits up to 20 s (tries=N tenths of a second) for the command to succeed.
until_true() {
    for _ in $(seq "${tries:-200}"); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

# Xvfb on a free display number, which it writes to a descriptor; exports DISPLAY.
start_display() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    until_true test -s "$work/display" || fail "Xvfb did not start"
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
}

# kelvo-server with the demo account on a free port; sets `url` and `token` and stores the token
# where Kelvo reads it (XDG_CONFIG_HOME=$work/config).
start_signed_in_server() {
    mkfifo "$work/server-out"
    "$1" --port 0 --db "$work/kelvo.db" --seed-demo >"$work/server-out" &
    pids+=($!)
    # One reader holds the pipe open throughout, so later output never meets a closed pipe.
    exec 4<"$work/server-out"
    local line
    read -r -t 30 line <&4 || fail "kelvo-server did not start"
    url=${line#Listening on }
    cat <&4 >/dev/null &
    token=$(curl -sf -X POST "$url/auth/login" \
                 -d '{"email":"demo@kelvo.local","password":"kelvo-demo"}' |
            sed -n 's/.*"token":"\([^"]*\)".*/\1/p' || true)
    [ -n "$token" ] || fail "could not sign in to the demo account"
    mkdir -p "$work/config/Kelvo"
    printf '[General]\nkelvo_auth_token=%s\n' "$token" >"$work/config/Kelvo/Kelvo.conf"
}

# The program itself in the background (its own process id, so the cleanup ends it), its output
# in $work/kelvo.log.
start_kelvo() {
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" KELVO_API_URL="$url" "$kelvo" "$@" \
        >"$work/kelvo.log" 2>&1 &
    pids+=($!)
}

# Waits up to 30 s for Kelvo's first load to finish.
wait_for_data() {
    tries=300 until_true grep -q "Data refresh completed" "$work/kelvo.log" || fail "Kelvo did not load its data"
}
