#!/usr/bin/env bash
# Builds the programs, starts the simulated module on a free loopback port,
# and runs kxtdev on it in a scratch directory whose setup file (KXTSW.STP)
# says Modbus TCP to that port. Quit kxtdev (Q) to end; kxtsim stops then.
# Arguments are passed to kxtdev as keystrokes: `scripts/kxtdev-demo.sh uv`
# goes straight to the register viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kxtsim kxtload quillet kxtdev

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill -INT "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Port 0: kxtsim takes any free port and names it in its ready lines.
build/bin/kxtsim --tcp 0 >"$work/sim.log" 2>&1 &
sim_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^kxtsim: listening on tcp port \([0-9]*\).*/\1/p' "$work/sim.log")
  grep -q '^kxtsim: ready' "$work/sim.log" && [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log"; exit 1; }
  sleep 0.1
done
[ -n "$port" ] || { echo "kxtsim did not start"; cat "$work/sim.log"; exit 1; }

# Something to watch in the register viewer: a program running in channel 1.
build/bin/kxtload 1 examples/blink.KXB "127.0.0.1:$port" -A >/dev/null

# The setup file: Modbus TCP to 127.0.0.1:$port, unit 0; every other field
# as in the standard default record.
mkdir "$work/session"
/usr/bin/python3 - "$port" "$work/session/KXTSW.STP" "$root/tests/support" <<'PY'
import sys
sys.path.insert(0, sys.argv[3])
from kxt_setup import setup_record
open(sys.argv[2], "wb").write(setup_record(int(sys.argv[1])))
PY

echo "Simulated module on 127.0.0.1:$port; kxtdev works in $work/session"
cd "$work/session"
status=0
"$root/build/bin/kxtdev" "$@" || status=$?
exit "$status"
