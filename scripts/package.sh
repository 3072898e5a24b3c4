#!/usr/bin/env bash
# Builds the program without sanitizers and makes its Debian package:
# build-package/velmorocandiag_<version>_<arch>.deb (another build folder as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${1:-build-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DVELMORO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"
(cd "$build" && cpack -G DEB)
ls "$build"/velmorocandiag_*.deb
