# Sourced: start_xvfb runs a virtual X display on the first free number from 90 and
# exports DISPLAY; stop_xvfb ends it.
start_xvfb() {
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    MG_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    echo "xvfb: display :$n did not start" >&2
    return 1
}

stop_xvfb() {
    [ -n "${MG_XVFB_PID:-}" ] && kill "$MG_XVFB_PID" 2>/dev/null
    MG_XVFB_PID=
}
