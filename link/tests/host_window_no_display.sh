#!/usr/bin/env bash
# A host that opens the statistics window where no window can be shown: no X
# server at DISPLAY, one that refuses us (it wants a cookie we lack), or a
# forced platform whose device is missing (no framebuffer, no DRM) or that is
# not installed. The library must work on without a window and the host end
# with its own code.
# Usage: host_window_no_display.sh <host_window> <vrtCLNK.so>
set -uo pipefail
host=$1 lib=$2
work=$(mktemp -d)
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
failures=0

expect_own_exit() {  # <what> then the environment for the host
    local what=$1; shift
    env "$@" "$host" startup "$lib" "$work" >"$work/out" 2>&1
    local rc=$?
    if [ "$rc" -ne 7 ]; then
        echo "$what: the host ended with $rc instead of its own 7" >&2
        cat "$work/out" >&2
        failures=$((failures + 1))
    fi
}

expect_own_exit "no X server" DISPLAY=:4093 XAUTHORITY=/nonexistent

# Forced platforms without their devices, alone, with options, and first in a list.
for platform in eglfs linuxfb linuxfb:fb=/dev/fb7 vkkhrdisplay "eglfs;offscreen" no-such-platform; do
    expect_own_exit "QT_QPA_PLATFORM=$platform" -u DISPLAY QT_QPA_PLATFORM="$platform" \
        QT_QPA_EGLFS_KMS_CONFIG=/nonexistent
done

# An X server with access control on: our cookie file is not given to the host.
mkfifo "$work/display"
: >"$work/auth"
xauth -q -f "$work/auth" add :4094 . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
Xvfb -displayfd 3 -auth "$work/auth" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
read -r -t 30 display <"$work/display" || { echo "Xvfb did not start" >&2; exit 1; }
expect_own_exit "X server refusing us" DISPLAY=":$display" XAUTHORITY=/nonexistent

[ "$failures" -eq 0 ] && echo "no display, and a refusing one: the host ends with its own code"
exit $((failures > 0))
