#!/usr/bin/env bash
# Starts the configurator from the build folder, where vrtCLNK.so sits beside it.
set -euo pipefail
bin=${1:-build/bin}
if [ ! -x "$bin/VortanOPCCfg" ]; then
  echo "The configurator VortanOPCCfg is not part of the build yet; the link library is built in $bin."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: set DISPLAY (or run under xvfb-run) to see the configurator's window." >&2
fi
exec "$bin/VortanOPCCfg"
