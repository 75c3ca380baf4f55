"""kxtsim's Modbus RTU side on its pseudo-terminal against an independent
master (pymodbus's serial client with the RTU framer)."""
import os
import subprocess
import sys
import unittest

from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusRtuFramer

BIN_DIR = os.environ.get("KXT_BIN_DIR", os.path.join(os.getcwd(), "bin"))


def start_kxtsim(*args):
    process = subprocess.Popen([os.path.join(BIN_DIR, "kxtsim"), *args],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    device = None
    for line in process.stdout:
        if line.startswith("kxtsim: serial device "):
            device = line.strip().split()[-1]
        if line.strip() == "kxtsim: ready":
            break
    if device is None:
        process.kill()
        raise RuntimeError("kxtsim did not start")
    return process, device


class KxtsimRtuInterop(unittest.TestCase):
    def setUp(self):
        self.process, device = start_kxtsim("--serial", "rtu", "--baud", "38400", "--unit", "7")
        self.client = ModbusSerialClient(port=device, framer=ModbusRtuFramer, baudrate=38400)
        self.assertTrue(self.client.connect())

    def tearDown(self):
        self.client.close()
        self.process.terminate()
        self.assertEqual(self.process.wait(timeout=10), 0)
        self.process.stdout.close()

    def test_write_then_read_back(self):
        values = [1, 0x1010, 0xFFFF, 40000, 0]
        result = self.client.write_registers(2199, values, slave=7)
        self.assertFalse(result.isError(), result)
        self.assertEqual(self.client.read_holding_registers(2199, 5, slave=7).registers, values)
        self.assertEqual(self.client.read_input_registers(2199, 5, slave=7).registers, values)

    def test_download_registers_through_rtu(self):
        # Select channel 2, erase it, write two program words and the length.
        self.assertFalse(self.client.write_registers(2048, [2, 0], slave=7).isError())
        self.assertFalse(self.client.write_registers(2050, [0xAAAA, 0x5555], slave=7).isError())
        self.assertFalse(self.client.write_registers(2049, [4], slave=7).isError())
        self.assertEqual(self.client.read_holding_registers(2049, 3, slave=7).registers,
                         [4, 0xAAAA, 0x5555])

    def test_exception_reply(self):
        result = self.client.read_holding_registers(65535, 2, slave=7)
        self.assertTrue(result.isError())
        self.assertEqual(result.exception_code, 2)


if __name__ == "__main__":
    sys.exit(0 if unittest.main(exit=False).result.wasSuccessful() else 1)
