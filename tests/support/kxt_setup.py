"""kxtdev's setup file (KXTSW.STP) for tests and scripts: the 148-byte record
of the standard defaults, little-endian, with the link set to Modbus TCP on
127.0.0.1."""

import struct

SETUP_SIZE = 148
MODBUS_TCP = 6
BAUD_9600 = 13  # index into the baud table


def setup_record(tcp_port, unit=None, terminal_port=0, trap_errors=True):
    """unit None leaves the route empty (unit 0); trap_errors False puts
    errors on row 25 instead of the error box."""
    record = bytearray(SETUP_SIZE)
    # Connection type, COM port, card base, baud, 8 data bits, 1 stop bit, EVEN, BCC.
    struct.pack_into("<8H", record, 0, MODBUS_TCP, 0, 0, BAUD_9600, 1, 0, 1, 0)
    if unit is not None:
        struct.pack_into("<HH", record, 16, 1, unit)  # route: one drop
    # Terminal port, 9600 baud, 8 data bits, 1 stop bit, no parity.
    struct.pack_into("<5H", record, 38, terminal_port, BAUD_9600, 1, 0, 0)
    record[48:48 + len(b"EDIT.COM")] = b"EDIT.COM"
    # Non-Priority, status registers, 20 registers from 1, identify module,
    # trap errors, reply time-out, Modbus TCP port.
    struct.pack_into("<8H", record, 90, 0, 0, 20, 1, 0, 0 if trap_errors else 1, 500, tcp_port)
    record[106:106 + len(b"127.0.0.1")] = b"127.0.0.1"
    return bytes(record)
