#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test.
#   scripts/test.sh            all: 64-bit, 32-bit, ASan+UBSan, TSan, fuzz, Python
#   KEZU_SKIP="i386 asan tsan fuzz bench python" ...  leave stages out (quick local runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
skip=" ${KEZU_SKIP:-} "
werror=OFF
[ "${CI:-}" = true ] && werror=ON
python=/usr/bin/python3

want() { [[ "$skip" != *" $1 "* ]]; }

WANT_I386=1
want i386 || WANT_I386=0
WANT_I386=$WANT_I386 bash scripts/install-deps.sh

passed=0
failed=0
run_ctest() {
  local log="$1/ctest-summary.log"
  (cd "$1" && ctest --output-on-failure -j "$jobs" --timeout 300) | tee "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  local f=${line#*passed, }
  f=${f%% tests failed*}
  local total=${line##* out of }
  passed=$((passed + total - f))
  failed=$((failed + f))
}

echo "== 64-bit build =="
cmake -S . -B build -DKEZU_WERROR=$werror -DPython3_EXECUTABLE=$python >/dev/null
cmake --build build -j "$jobs"
run_ctest build

if want bench && ls build/bench/bench_* >/dev/null 2>&1; then
  echo "== benchmarks (short run: they must run, figures are not judged here) =="
  for b in build/bench/bench_*; do "$b" --benchmark_min_time=0.05 >/dev/null; done
  echo "benchmarks ran"
fi

if want i386; then
  echo "== 32-bit build =="
  cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake -DKEZU_WERROR=$werror \
    -DKEZU_BUILD_PYTHON=OFF -DKEZU_BUILD_BENCH=OFF >/dev/null
  cmake --build build-i386 -j "$jobs"
  run_ctest build-i386
fi

sanitized() {  # stage name, build dir, sanitizers, compiler
  if want "$1"; then
    echo "== 64-bit build with -fsanitize=$3 ($4) =="
    cxx=clang++
    [ "$4" = gcc ] && cxx=g++
    CC=$4 CXX=$cxx cmake -S . -B "$2" -DKEZU_WERROR=$werror -DKEZU_SANITIZE="$3" \
      -DKEZU_BUILD_PYTHON=OFF -DKEZU_BUILD_BENCH=OFF >/dev/null
    cmake --build "$2" -j "$jobs"
    run_ctest "$2"
  fi
}
# clang's undefined-behaviour checks include loads of values outside an enum's range.
sanitized asan build-asan address,undefined clang
sanitized tsan build-tsan thread gcc

if want fuzz && [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "== fuzz (clang, libFuzzer, bounded) =="
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKEZU_FUZZ=ON -DKEZU_BUILD_PYTHON=OFF \
    -DKEZU_BUILD_TOOLS=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for f in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    mkdir -p "build-fuzz/corpus/$(basename "$f")"
    "$f" -timeout=1 -runs="${KEZU_FUZZ_RUNS:-200000}" -max_total_time="${KEZU_FUZZ_SECONDS:-30}" \
      -max_len=4096 "build-fuzz/corpus/$(basename "$f")"
  done
fi

if want python && ls tests/python/test_*.py >/dev/null 2>&1; then
  echo "== Python =="
  PYTHONPATH="$root/build" timeout 600 $python -m pytest -q tests/python
fi
echo "== all stages passed =="
echo "tests: $passed passed, $failed failed"
