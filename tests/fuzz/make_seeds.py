#!/usr/bin/env python3
"""Writes a small seed corpus of recorder traffic for the receive fuzzer."""
import os
import struct
import sys


def msg(code, payload=b"", last=True, audio=False):
    w0 = (code << 7) | (8 if audio else 0)
    w1 = len(payload) | ((1 << 30) if last else 0)
    return struct.pack(">IIII", w0, w1, 0, 0) + payload


def hello(product=11, channels=16, size=768):
    p = bytearray(size)
    if size > 16:
        p[2], p[6], p[16] = product, channels, 8
    return bytes(p)


seeds = {
    "login": msg(5, hello()),
    "login_live": msg(5, hello()) + msg(17, struct.pack(">I", 0x000F000F))
    + msg(18, b"\1" * 300, last=False) + msg(18, b"\2" * 30),
    "bye": msg(4, struct.pack(">i", 2)),
    "trans_nack": msg(102, struct.pack(">iII", 87, 100, 200)),
    "unknown": msg(300, b"\0" * 10) + msg(5, hello(2)),
    "refusals": b"".join(msg(c, struct.pack(">i", 1)) for c in (19, 22, 54, 262, 274, 117)),
    "fragments": b"".join(msg(c, b"x" * 100, last=False) + msg(c, b"y" * 10) for c in (113, 261, 266, 295, 321)),
    "fixed": msg(256, b"\0" * 16) + msg(258, b"\0" * 596) + msg(17, b"\0\0"),
}
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
# The first byte of an input is the size of the pieces the rest arrives in
# (0: all at once).
for name, data in seeds.items():
    for piece in (0, 7):
        with open(os.path.join(out, f"{name}_{piece}"), "wb") as f:
            f.write(bytes([piece]) + data)
