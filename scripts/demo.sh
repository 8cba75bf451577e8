#!/usr/bin/env bash
# The SDK on a fresh machine: installs what is missing, builds the Python module, the C++
# library and the controller counterpart, starts the counterpart on a free loopback port, runs
# examples/demo.py against it and stops it again. Exits with the demo's status.
set -euo pipefail
if [ "${1:-}" = --help ]; then
  cat <<EOF
usage: $0 [--help]
Installs the missing Debian packages, builds the Python module, the C++ library and the
controller counterpart in build/, starts the counterpart on a free loopback port and runs
examples/demo.py against it. Exits with the demo's status; --help prints this and exits 0.
EOF
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
python=/usr/bin/python3

# The output of a step that failed, without the build's progress lines.
show_failure() {
  echo "failed; output of $1:" >&2
  grep -Ev '^\[ *[0-9]+(%|/[0-9]+)\]' "$1" >&2 || true
}

echo "checking packages"
# apt's own messages go to a log; its errors stay on standard error.
mkdir -p build
if ! WANT_I386=0 bash scripts/install-deps.sh >build/demo-packages.log; then
  show_failure build/demo-packages.log
  exit 1
fi

echo "configuring build/"
if ! cmake -S . -B build -DPython3_EXECUTABLE=$python >build/demo-configure.log; then
  show_failure build/demo-configure.log
  exit 1
fi

# The build's own progress ("[ 42%]" from make, "[42/97]" from ninja) on one line.
build_log=build/demo-build.log
progress() {
  local line percent shown=
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$build_log"
    if [[ "$line" =~ ^\[\ *([0-9]+)%\] ]]; then
      percent=${BASH_REMATCH[1]}
    elif [[ "$line" =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      percent=$((100 * BASH_REMATCH[1] / BASH_REMATCH[2]))
    else
      continue
    fi
    if [ -t 1 ] && [ "$percent" != "$shown" ]; then
      printf '\rbuilding: %3d%%' "$percent"
      shown=$percent
    fi
  done
  [ -t 1 ] && printf '\r'
  return 0
}
echo "building the Python module, the C++ library and the controller counterpart"
: >"$build_log"
# One target for the three: make counts its progress afresh for each target named.
if ! cmake --build build -j "$(nproc)" --target kezu_demo_build 2>&1 | progress; then
  [ -t 1 ] && echo
  show_failure "$build_log"
  exit 1
fi
echo "building: done"

work=$(mktemp -d)
sim=
cleanup() {
  if [ -n "$sim" ] && kill -0 "$sim" 2>/dev/null; then
    kill "$sim"
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "starting the controller counterpart"
build/tools/kezu_controller_sim --port 0 >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
port=
for _ in $(seq 100); do
  port=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if ! [[ "$port" =~ ^[0-9]+$ ]]; then
  echo "the controller counterpart did not start" >&2
  cat "$work/sim.err" >&2
  exit 1
fi
echo "controller counterpart listening on 127.0.0.1:$port"

# The trace log reads ./config and writes ./log: the build folder has both.
status=0
(cd build && PYTHONPATH="$root/build" $python "$root/examples/demo.py" --host 127.0.0.1 \
  --port "$port") || status=$?
exit $status
