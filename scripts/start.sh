#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it (on the built-in simulated
# motorcycle when no adapter is configured: choose the port "Simulator" in the settings).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default -G Ninja >/dev/null
cmake --build --preset default --target VelmoroCanDiag
exec build/VelmoroCanDiag "$@"
