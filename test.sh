#!/usr/bin/env bash
# Installs what is missing, builds Velkan and runs the whole test suite.
#   ./test.sh          the normal suite
#   ./test.sh --asan   the whole suite under AddressSanitizer + UBSan
#   ./test.sh --tsan   the timer and playback tests under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")"

mode=normal
for arg in "$@"; do
  case "$arg" in
    --asan) mode=asan ;;
    --tsan) mode=tsan ;;
    -h|--help) sed -n '2,5p' "$0"; exit 0 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

scripts/setup.sh

case "$mode" in
  normal) dir=build-test; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)   dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKAN_ASAN=ON -DVELKAN_BUILD_BENCH=OFF) ;;
  tsan)   dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKAN_TSAN=ON -DVELKAN_BUILD_BENCH=OFF) ;;
esac
[[ "${CI:-}" == true ]] && flags+=(-DVELKAN_WERROR=ON)

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
ctest_args=(--test-dir "$dir" --output-on-failure -j"$(nproc)")
if [[ "$mode" == tsan ]]; then
  ctest_args+=(-R 'Timer|Playback|Sequencer|BeatClock|Stress')
fi
ctest "${ctest_args[@]}"
