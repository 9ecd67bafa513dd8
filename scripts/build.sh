#!/usr/bin/env bash
# Configures and builds SONOVERT in build/ (executable: build/app/sonovert).
# Extra arguments go to the CMake configure step, e.g.
#   scripts/build.sh -DCMAKE_BUILD_TYPE=Debug
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j2
