#!/usr/bin/python3
"""A Modbus TCP slave from another implementation (pymodbus), on loopback.

Listens on a free port of 127.0.0.1 and prints "READY <port>" once it
accepts connections. Runs until killed.

  modbus_tcp_peer.py UNIT

Holding registers 0..299 (zero-based addresses) start as 1000 + address,
input registers as 2000 + address.
"""

import asyncio
import sys

REGISTERS = 300


async def serve(unit):
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server.async_io import ModbusTcpServer

    # zero_mode: address n is element n (this version adds 1 otherwise).
    store = ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, [1000 + i for i in range(REGISTERS)]),
        ir=ModbusSequentialDataBlock(0, [2000 + i for i in range(REGISTERS)]),
        zero_mode=True)
    context = ModbusServerContext(slaves={unit: store}, single=False)
    server = ModbusTcpServer(context, address=("127.0.0.1", 0))
    task = asyncio.ensure_future(server.serve_forever())
    await server.serving
    port = server.server.sockets[0].getsockname()[1]
    sys.stdout.write("READY %d\n" % port)
    sys.stdout.flush()
    await task


def main():
    asyncio.run(serve(int(sys.argv[1])))


if __name__ == "__main__":
    main()
