# Sourced by the end-to-end scripts that run vel.exe under Wine on a private
# X server. The caller stops the server by $xvfb_pid.

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    for ((i = 0; i < seconds * 5; i++)); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# start_xvfb FOLDER: an X server on a free display (it writes its number into
# FOLDER/display); sets xvfb_pid and DISPLAY. False when it does not start.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    wait_for 10 test -s "$1/display" || return 1
    export DISPLAY=":$(head -1 "$1/display")"
}
