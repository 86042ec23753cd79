#!/usr/bin/env bash
# Runs a command against a private Xvfb server. The server picks a free display
# itself (-displayfd), so many of these can start at once under ctest -j.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: with-xvfb.sh COMMAND [ARGS...]" >&2; exit 2; }

fifo_dir=$(mktemp -d)
trap 'rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/display"
# VRT_XVFB_RESET=1 keeps the server's default of resetting when its last
# client leaves, as a desktop's display manager would not, but a bare Xvfb does.
reset=-noreset
[ "${VRT_XVFB_RESET:-}" = 1 ] && reset=""
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp $reset 3>"$fifo_dir/display" 2>"$fifo_dir/xvfb.log" &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$fifo_dir"' EXIT

display=""
if ! read -r -t 30 display <"$fifo_dir/display" || [ -z "$display" ]; then
  echo "with-xvfb.sh: Xvfb did not start" >&2
  cat "$fifo_dir/xvfb.log" >&2 || true
  exit 1
fi
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
set +e
"$@"
rc=$?
set -e
exit $rc
