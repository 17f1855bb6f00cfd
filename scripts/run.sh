#!/usr/bin/env bash
# Builds, starts the bundled controller simulator on 127.0.0.1:2323 and opens
# the monitor. Connect to 127.0.0.1:2323 from the address field.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh
port="${QUORIN_SIM_PORT:-2323}"
build/sim/quorin-sim --port "$port" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
echo "Simulator on 127.0.0.1:$port — type 127.0.0.1:$port in the address field and press Connect."
build/app/quorin-monitor
