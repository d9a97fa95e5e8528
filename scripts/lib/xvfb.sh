# scripts/lib/xvfb.sh — a virtual display on a free number, for scripts/run and scripts/test
# (sourced, not run). Xvfb picks the number itself and writes it to the descriptor given with
# -displayfd, so two runs on one machine never race for a display.
#
#   xvfb_start    starts one, exports DISPLAY and sets XVFB_PID; fails when Xvfb does not
#                 come up within five seconds (nothing is left running then)
#   xvfb_stop     ends the one xvfb_start started, if any; harmless to call twice

XVFB_PID=

xvfb_start() {
    local numberfile number=
    numberfile=$(mktemp) || return 1
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        # Xvfb writes the number and a newline once it accepts clients.
        number=$(head -n1 "$numberfile")
        [ -n "$number" ] && break
        sleep 0.05
    done
    rm -f "$numberfile"
    if [ -z "$number" ]; then
        xvfb_stop
        return 1
    fi
    export DISPLAY=":$number"
}

xvfb_stop() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
