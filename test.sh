#!/usr/bin/env bash
# Installs what is missing, builds Velkan and runs the whole test suite.
#   ./test.sh          the normal suite (it also replays the fuzz corpora)
#   ./test.sh --asan   the whole suite under AddressSanitizer + UBSan (build-asan)
#   ./test.sh --tsan   the timer, playback, reading, recovery and stress tests under ThreadSanitizer (build-tsan)
#   ./test.sh --long   the normal suite with its long runs (200 kills of the editor instead of 9)
# Suppressions for third-party code only: tests/lsan.supp, tests/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")"

mode=normal
for arg in "$@"; do
  case "$arg" in
    --asan) mode=asan ;;
    --tsan) mode=tsan ;;
    --long) mode=normal; export VELKAN_LONG_TESTS=1 ;;
    -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

VELKAN_FOR_TESTS=1 scripts/setup.sh

case "$mode" in
  normal) dir=build-test; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)   dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKAN_ASAN=ON -DVELKAN_BUILD_BENCH=OFF) ;;
  tsan)   dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DVELKAN_TSAN=ON -DVELKAN_BUILD_BENCH=OFF) ;;
esac
[[ "${CI:-}" == true ]] && flags+=(-DVELKAN_WERROR=ON)

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

here=$PWD
export QT_QPA_PLATFORM=offscreen
# Any finding fails the test that made it: sanitizer reports end the process
# with an error, UBSan included.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The longest history TSan keeps: the beat timer yields away the last moments
# before each deadline, and with the default history those many short steps
# push out the stack of the write a report names (Qt's posted functor), so the
# suppression for it could not be matched.
export TSAN_OPTIONS=${TSAN_OPTIONS:-suppressions=$here/tests/tsan.supp:second_deadlock_stack=1:halt_on_error=1:history_size=7}
ctest_args=(--test-dir "$dir" --output-on-failure -j"$(nproc)")
if [[ "$mode" == tsan ]]; then
  ctest_args+=(-R 'Timer|Playback|Sequencer|BeatClock|Stress|ScriptReading|Recovery')
fi
ctest "${ctest_args[@]}"
