#!/usr/bin/env bash
# Runs every fuzz target (files named fuzz_*) in the folder for the given seconds.
set -euo pipefail
bin=$1
seconds=${2:-30}
shopt -s nullglob
targets=("$bin"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  corpus="$bin/$(basename "$t").corpus"
  mkdir -p "$corpus"
  seeds="$(dirname "$0")/../testing/fuzz-seeds/$(basename "$t")"
  echo "== $(basename "$t") for ${seconds}s"
  if [ -d "$seeds" ]; then
    "$t" -max_total_time="$seconds" -timeout=10 "$corpus" "$seeds"
  else
    "$t" -max_total_time="$seconds" -timeout=10 "$corpus"
  fi
done
