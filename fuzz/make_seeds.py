#!/usr/bin/env python3
"""Writes the seed corpus of every harness into <out>/<harness>/, taken from
the byte vectors the tests already hold (hex strings, reply texts, Modbus TCP
frames, key sequences) and the example program files, each with the leading
selector bytes its harness reads."""
import glob
import hashlib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read(pattern):
    text = ""
    for path in sorted(glob.glob(os.path.join(ROOT, pattern))):
        with open(path, encoding="utf-8", errors="replace") as f:
            text += f.read()
    return text


def c_string(literal):
    """The bytes of a C string literal's body (simple escapes only)."""
    out = bytearray()
    i = 0
    while i < len(literal):
        c = literal[i]
        if c == "\\" and i + 1 < len(literal):
            n = literal[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,2}", literal[i + 2:])
                out.append(int(m.group(0), 16))
                i += 2 + len(m.group(0))
                continue
            if n in "01234567":
                m = re.match(r"[0-7]{1,3}", literal[i + 1:])
                out.append(int(m.group(0), 8) & 0xFF)
                i += 1 + len(m.group(0))
                continue
            out.append({"r": 13, "n": 10, "t": 9, "e": 27, "0": 0}.get(n, ord(n)))
            i += 2
            continue
        out.extend(c.encode())
        i += 1
    return bytes(out)


def hex_vectors(pattern):
    found = re.findall(r'"((?:[0-9A-F]{2} )+[0-9A-F]{2})"', read(pattern))
    return [bytes(int(x, 16) for x in v.split()) for v in found]


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def ascii_frame(data):
    lrc = (-sum(data)) & 0xFF
    return b":" + (data + bytes([lrc])).hex().upper().encode() + b"\r\n"


def tcp_frames():
    frames = []
    for body in re.findall(r"Frame\(\{([0-9xA-Fa-f, ]*)\}\)", read("tests/link/modbus_tcp*_test.cpp")):
        values = [int(v, 0) for v in body.replace(" ", "").split(",") if v]
        pdu = bytes(values)
        frames.append(bytes([0, 0, 0, 0, len(pdu) >> 8, len(pdu) & 0xFF]) + pdu)
    return frames


def main():
    out = sys.argv[1]
    seeds = {}

    def add(harness, data):
        seeds.setdefault(harness, set()).add(bytes(data))

    symax = hex_vectors("tests/link/symax_*test.cpp") + hex_vectors("tests/kxtsim/*symax*.cpp")
    for v in symax:
        for flags in (0x02, 0x03, 0x82):
            add("symax_receive_fuzz", bytes([flags]) + v)
        for slave in (0, 1):
            add("kxtsim_serial_slaves_fuzz", bytes([slave]) + v)

    modbus = hex_vectors("tests/link/modbus_serial*_test.cpp") + hex_vectors("tests/kxtsim/*modbus*.cpp")
    for v in modbus:
        for operation in range(5):
            add("modbus_serial_reply_fuzz", bytes([operation << 1, 1]) + v + crc16(v))
            add("modbus_serial_reply_fuzz", bytes([operation << 1 | 1, 1]) + ascii_frame(v))
        add("kxtsim_serial_slaves_fuzz", bytes([2]) + v + crc16(v) + b"\xff")
        add("kxtsim_serial_slaves_fuzz", bytes([3]) + ascii_frame(v))
        add("kxtsim_requests_fuzz", bytes([0]) + v[1:])

    lines = [c_string(s) for s in re.findall(r'ReplyText\("([^"]*)"\)', read("tests/link/gateway*_test.cpp"))]
    lines += [b"\r", b"100 200\r\n", b"ERROR\r"]
    for line in lines:
        add("gateway_reply_fuzz", bytes([1]) + line)
        add("gateway_reply_fuzz", bytes([0x80]) + line)
    for command in (b"A 3 14\r", b"R 100 2\r", b"W 1 5 65535\r", b"R 8190 3\r"):
        add("kxtsim_serial_slaves_fuzz", bytes([4]) + command)

    for frame in tcp_frames():
        for operation in range(5):
            add("modbus_tcp_reply_fuzz", bytes([operation, 1]) + frame)
        add("kxtsim_requests_fuzz", bytes([0]) + frame[7:])
    for v in symax:
        # The data part of a Sy/Max frame: between DLE STX and DLE ETX.
        start, end = v.find(b"\x10\x02"), v.rfind(b"\x10\x03")
        if 0 <= start < end:
            add("kxtsim_requests_fuzz", bytes([1]) + v[start + 2:end].replace(b"\x10\x10", b"\x10"))

    keys = [c_string(s) for s in re.findall(r'"((?:\\x1b|\\033)[^"]*)"', read("tests/console/*.cpp"))]
    keys += ["é€".encode(), b"\x1b", b"\x1b\x1b[A", b"\x1b[[A", b"\x1b[200~"]
    for k in keys:
        add("key_decoder_fuzz", b"".join(bytes([b, 1]) for b in k))

    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "*.KXB"))):
        with open(path, "rb") as f:
            data = f.read()[:4096]
        add("program_file_fuzz", bytes([8]) + data)
    add("program_file_fuzz", bytes([1]) + b"\x01\x02\x03")

    for args in (["1", "prog.KXB", "COM1:"], ["-A", "-C2", "-S10", "2", "p.KXB", "127.0.0.1:502"],
                 ["-?"], ["-G", "1", "p.KXB", "COM2:19200,N,8,1", "3 14"], ["-N", "-M9600,E,8,1"]):
        add("kxtload_command_line_fuzz", b"\0".join(a.encode() for a in args) + b"\xff1\n8\n3 14\n")
    for args in (["127.0.0.1:502"], ["-G", "COM1:", "3 14"], ["-R", "-S100", "-C30", "localhost"],
                 ["-?"], ["-A", "-M19200,N,8,1", "COM2:"]):
        add("quillet_command_line_fuzz", b"\0".join(a.encode() for a in args) + b"\xff127.0.0.1\n")

    for harness, items in seeds.items():
        folder = os.path.join(out, harness)
        os.makedirs(folder, exist_ok=True)
        for data in items:
            name = hashlib.sha1(data).hexdigest()
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        print(f"{harness}: {len(items)} seeds")


if __name__ == "__main__":
    main()
