#!/usr/bin/env bash
# Builds everything, starts the simulated module on a loopback port, downloads
# examples/blink.KXB into channel 1 with Auto Start over Modbus TCP, and shows
# the module running by reading run control, the status register and the
# line number register back.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
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
echo "Simulated module on 127.0.0.1:$port"
echo

echo "\$ kxtload 1 examples/blink.KXB 127.0.0.1:$port -A"
build/bin/kxtload 1 examples/blink.KXB "127.0.0.1:$port" -A
echo

/usr/bin/python3 - "$port" <<'PY'
import sys
from pymodbus.client import ModbusTcpClient

client = ModbusTcpClient("127.0.0.1", port=int(sys.argv[1]))
client.connect()
run_control, status, line = client.read_holding_registers(0, 3, slave=0).registers
client.close()
print("Run control (register 1):     0x%04X  channel 1 %s" %
      (run_control, "running" if run_control & 1 else "halted"))
print("Status register (register 2): 0x%04X  %s" %
      (status, "running" if status & 0x8000 else "halted"))
print("Line number (register 3):     %d" % line)
sys.exit(0 if run_control & 1 and status & 0x8000 else 1)
PY
