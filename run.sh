#!/usr/bin/env bash
# Installs what is missing, builds Velkan and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKAN_BUILD_TESTS=OFF -DVELKAN_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target velkan velkan-tool
exec build/src/velkan "$@"
