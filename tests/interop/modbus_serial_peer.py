#!/usr/bin/python3
"""A Modbus serial slave from another implementation, on a pseudo-terminal.

Two pseudo-terminal pairs are joined back to back by a relay; the slave
listens on one side and the other side's device path is printed as
"READY <path>" once the slave has its port open. Runs until killed.

  modbus_serial_peer.py pymodbus-rtu|pymodbus-ascii|libmodbus-rtu SLAVE BAUD

Holding registers 0..199 (zero-based addresses) start as 1000 + address.
"""

import asyncio
import ctypes
import ctypes.util
import os
import select
import sys
import threading
import tty

REGISTERS = 200


def initial_values():
    return [1000 + i for i in range(REGISTERS)]


def make_pty():
    master, slave = os.openpty()
    tty.setraw(slave)
    tty.setraw(master)
    return master, slave, os.ttyname(slave)


def relay(a, b):
    """Copies bytes both ways between two pty masters until the process ends."""
    while True:
        readable, _, _ = select.select([a, b], [], [])
        for source in readable:
            target = b if source == a else a
            try:
                data = os.read(source, 4096)
            except OSError:
                continue
            while data:
                written = os.write(target, data)
                data = data[written:]


def announce(path):
    sys.stdout.write("READY %s\n" % path)
    sys.stdout.flush()


async def run_pymodbus(framer_name, slave, baud, device, link_path):
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server import StartAsyncSerialServer
    from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer

    block = ModbusSequentialDataBlock(0, initial_values())
    store = ModbusSlaveContext(hr=block, ir=ModbusSequentialDataBlock(0, initial_values()),
                               zero_mode=True)
    context = ModbusServerContext(slaves={slave: store}, single=False)
    framer = ModbusRtuFramer if framer_name == "rtu" else ModbusAsciiFramer
    # Only port, framer and baud rate: this version stays silent when given
    # parity or byte size.
    server = await StartAsyncSerialServer(context=context, framer=framer, port=device,
                                          baudrate=baud, defer_start=True)
    await server.start()
    announce(link_path)
    await server.serve_forever()


def run_libmodbus(slave, baud, device, link_path):
    lib = ctypes.CDLL(ctypes.util.find_library("modbus"))
    lib.modbus_new_rtu.restype = ctypes.c_void_p
    lib.modbus_new_rtu.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_char, ctypes.c_int,
                                   ctypes.c_int]
    lib.modbus_set_slave.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.modbus_connect.argtypes = [ctypes.c_void_p]
    lib.modbus_receive.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    lib.modbus_reply.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p]
    lib.modbus_mapping_new.restype = ctypes.c_void_p
    lib.modbus_mapping_new.argtypes = [ctypes.c_int] * 4

    class Mapping(ctypes.Structure):
        _fields_ = [("nb_bits", ctypes.c_int), ("start_bits", ctypes.c_int),
                    ("nb_input_bits", ctypes.c_int), ("start_input_bits", ctypes.c_int),
                    ("nb_input_registers", ctypes.c_int),
                    ("start_input_registers", ctypes.c_int),
                    ("nb_registers", ctypes.c_int), ("start_registers", ctypes.c_int),
                    ("tab_bits", ctypes.c_void_p), ("tab_input_bits", ctypes.c_void_p),
                    ("tab_input_registers", ctypes.POINTER(ctypes.c_uint16)),
                    ("tab_registers", ctypes.POINTER(ctypes.c_uint16))]

    ctx = lib.modbus_new_rtu(device.encode(), baud, b"N", 8, 1)
    if not ctx or lib.modbus_set_slave(ctx, slave) != 0 or lib.modbus_connect(ctx) != 0:
        sys.exit("libmodbus could not open " + device)
    mapping = ctypes.cast(lib.modbus_mapping_new(0, 0, REGISTERS, REGISTERS),
                          ctypes.POINTER(Mapping)).contents
    for i, value in enumerate(initial_values()):
        mapping.tab_registers[i] = value
        mapping.tab_input_registers[i] = value
    query = ctypes.create_string_buffer(260)
    announce(link_path)
    while True:
        length = lib.modbus_receive(ctx, query)
        if length > 0:
            lib.modbus_reply(ctx, query, length, ctypes.byref(mapping))


def main():
    peer, slave, baud = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    peer_master, peer_slave, peer_path = make_pty()
    link_master, link_slave, link_path = make_pty()
    # The spare slave descriptors stay open so that neither master reads EIO.
    threading.Thread(target=relay, args=(peer_master, link_master), daemon=True).start()
    if peer == "libmodbus-rtu":
        run_libmodbus(slave, baud, peer_path, link_path)
    else:
        asyncio.run(run_pymodbus(peer.split("-")[1], slave, baud, peer_path, link_path))
    del peer_slave, link_slave


if __name__ == "__main__":
    main()
