#!/bin/sh
# Usage: run.sh CMAKE BUILD_DIR WORK_DIR CONSUMER_SOURCES SIM_PROGRAM CXX CXXFLAGS [TOOLCHAIN]
# Installs the SDK from BUILD_DIR into WORK_DIR, builds the consumer project against it with
# find_package and a version, starts the counterpart program on a free port and runs the
# consumer on it.
set -eu
cmake=$1 build=$2 work=$3 src=$4 sim=$5 cxx=$6 flags=$7 toolchain=${8:-}
rm -rf "$work"
mkdir -p "$work/src"
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
cp "$src/project.cmake" "$work/src/CMakeLists.txt"
cp "$src/main.cpp" "$work/src/"
set -- -S "$work/src" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags"
[ -n "$toolchain" ] && set -- "$@" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
"$cmake" "$@" >/dev/null
"$cmake" --build "$work/build" >/dev/null

"$sim" --port 0 --travel-scale 0.05 >"$work/sim.out" &
simpid=$!
trap 'kill $simpid 2>/dev/null || true; wait $simpid 2>/dev/null || true' EXIT
# The counterpart prints its port as its first line; wait for it, at most 10 s.
tries=0
until [ -s "$work/sim.out" ] || [ $tries -ge 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
port=$(head -n 1 "$work/sim.out")
[ -n "$port" ] || { echo "counterpart did not start"; exit 1; }
# Run where a user would: beside a copy of the installed sample trace configuration, which
# must then write the trace log.
mkdir "$work/run"
cp -R "$work/prefix/share/kezuqx/config" "$work/run/"
cd "$work/run"
"$work/build/consumer" 127.0.0.1 "$port"
test -s log/robottrace.log
