"""kxtsim's Modbus TCP side against an independent master (pymodbus)."""
import os
import subprocess
import sys
import unittest

from pymodbus.client import ModbusTcpClient
from pymodbus.file_message import (FileRecord, ReadFileRecordRequest,
                                   WriteFileRecordRequest)

BIN_DIR = os.environ.get("KXT_BIN_DIR", os.path.join(os.getcwd(), "bin"))


def start_kxtsim(*args):
    process = subprocess.Popen([os.path.join(BIN_DIR, "kxtsim"), *args],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    port = None
    for line in process.stdout:
        if line.startswith("kxtsim: listening on tcp port "):
            port = int(line.split()[-1])
        if line.strip() == "kxtsim: ready":
            break
    if port is None:
        process.kill()
        raise RuntimeError("kxtsim did not start")
    return process, port


class KxtsimTcpInterop(unittest.TestCase):
    def setUp(self):
        self.process, port = start_kxtsim("--tcp", "0")
        self.client = ModbusTcpClient("127.0.0.1", port=port, timeout=5)
        self.assertTrue(self.client.connect())

    def tearDown(self):
        self.client.close()
        self.process.terminate()
        self.assertEqual(self.process.wait(timeout=10), 0)
        self.process.stdout.close()

    def test_registers_written_read_back_as_holding_and_input(self):
        values = [0, 1, 0x7FFF, 0x8000, 0xFFFF, 40000]
        result = self.client.write_registers(999, values, slave=1)
        self.assertFalse(result.isError(), result)
        holding = self.client.read_holding_registers(999, len(values), slave=1)
        self.assertEqual(holding.registers, values)
        inputs = self.client.read_input_registers(999, len(values), slave=1)
        self.assertEqual(inputs.registers, values)

    def test_identification_block(self):
        block = self.client.read_holding_registers(8175, 13, slave=1).registers
        self.assertEqual(block[0], 0x8001)
        name = b"".join(bytes([w >> 8, w & 0xFF]) for w in block[1:11]).decode()
        self.assertEqual(name, "KXT4 Simulated      ")
        self.assertEqual(block[12], 0x9990)

    def test_exception_for_an_address_past_the_end(self):
        result = self.client.read_holding_registers(65535, 2, slave=1)
        self.assertTrue(result.isError())
        self.assertEqual(result.exception_code, 2)

    def test_file_records_kept_per_file(self):
        write = WriteFileRecordRequest(
            records=[FileRecord(reference_type=6, file_number=4, record_number=7,
                                record_data=b"\x12\x34\x56\x78")], slave=1)
        self.assertFalse(self.client.execute(write).isError())
        read = self.client.execute(ReadFileRecordRequest(
            records=[FileRecord(reference_type=6, file_number=4, record_number=7,
                                record_length=2)], slave=1))
        self.assertFalse(read.isError(), read)
        self.assertEqual(read.records[0].record_data, b"\x12\x34\x56\x78")
        other = self.client.execute(ReadFileRecordRequest(
            records=[FileRecord(reference_type=6, file_number=5, record_number=7,
                                record_length=2)], slave=1))
        self.assertEqual(other.records[0].record_data, b"\x00\x00\x00\x00")


if __name__ == "__main__":
    sys.exit(0 if unittest.main(exit=False).result.wasSuccessful() else 1)
