#!/usr/bin/env bash
# Builds the monitor and opens it connected and logged in to the built-in
# controller simulator, which runs inside it on a free loopback port: nothing
# to type. Arguments replace --simulator, e.g. scripts/run.sh --connect HOST.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
scripts/build.sh quorin-monitor quorin-sim
[[ $# -gt 0 ]] || set -- --simulator
exec build/app/quorin-monitor "$@"
