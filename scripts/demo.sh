#!/usr/bin/env bash
# The SDK on a fresh machine: installs what is missing, builds the Python module and the
# controller counterpart, starts the counterpart on a free loopback port, runs
# examples/demo.py against it and stops it again. Exits with the demo's status.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
python=/usr/bin/python3

WANT_I386=0 bash scripts/install-deps.sh
cmake -S . -B build -DPython3_EXECUTABLE=$python >/dev/null
cmake --build build -j "$(nproc)" --target pykezuqx kezu_controller_sim >/dev/null

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
