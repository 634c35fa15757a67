#!/usr/bin/env bash
# Sets up everything and runs the whole test suite: the normal build, then
# the same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short run of every fuzz target over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== build and test" >&2
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --output-on-failure -j2)

echo "== build and test under ASan and UBSan" >&2
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUELVANE_SANITIZE=ON -DQUELVANE_BENCH=OFF
(cd build-asan &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
  LSAN_OPTIONS=suppressions=$PWD/../tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j2)

if [[ -f fuzz/CMakeLists.txt ]]; then
  echo "== fuzz targets, a short run each" >&2
  bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVANE_FUZZ=ON \
    -DQUELVANE_TESTS=OFF -DQUELVANE_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  bash fuzz/run.sh build-fuzz 20
fi
echo "All tests passed." >&2
