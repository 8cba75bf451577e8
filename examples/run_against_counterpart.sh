#!/usr/bin/env bash
# Runs a program against the controller counterpart on a free loopback port:
#   run_against_counterpart.sh SIM PROGRAM [ARGS...]
# PROGRAM gets "--host 127.0.0.1 --port P" after ARGS; its status is the script's.
set -euo pipefail
sim_program=$1
shift
out=$(mktemp)
"$sim_program" --port 0 --travel-scale 0.2 >"$out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$out"' EXIT
port=
for _ in $(seq 200); do
  port=$(head -n 1 "$out")
  [ -n "$port" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.05
done
[[ "$port" =~ ^[0-9]+$ ]] || { echo "the controller counterpart did not start" >&2; exit 1; }
"$@" --host 127.0.0.1 --port "$port"
