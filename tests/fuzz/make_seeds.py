#!/usr/bin/env python3
"""Writes a small seed corpus of recorder traffic for the receive fuzzer."""
import os
import struct
import zlib
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


def play_unit(channel, seconds, micro, data=40, speed=11):
    u = bytearray(192 + data)
    struct.pack_into(">I", u, 16, 1)
    struct.pack_into(">II", u, 24, seconds, data)
    struct.pack_into("<H", u, 128, data)
    u[132], u[133] = 576 // 16, 704 // 16
    struct.pack_into("<II", u, 148, seconds, micro)
    u[164] = channel
    w0 = 266 << 7
    w1 = len(u) | (1 << 30) | (speed << 16) | (channel << 22)
    return struct.pack(">IIII", w0, w1, 0, 0) + bytes(u)


def log_entries(count, size=200, size_word=200):
    out = bytearray(count * size)
    for i in range(count):
        struct.pack_into(">IIIIiI", out, i * size, i + 1, size_word, 1 << (i % 5), 1 << (i % 3), 1700000000 + i,
                         0x8001)
        out[i * size + 24:i * size + 28] = b"text"
    return bytes(out)
def rights(second=False, name=b"fuzz", rows=b"\1" * 9, slot=0):
    users, names, passwords, size = (50, 450, 2050, 3650) if second else (8, 72, 328, 584)
    p = bytearray(size)
    for r in range(9):
        p[r * users + slot] = rows[r]
    p[names + slot * 32:names + slot * 32 + len(name)] = name
    p[passwords + slot * 32:passwords + slot * 32 + 2] = b"pw"
    return bytes(p)


def config_unit(block):
    return struct.pack(">I", zlib.crc32(block)) + block


def admin():
    db = bytearray(596)
    db[4 + 1] = 1
    for c, title in enumerate([b"Lobby", b"Gate\x01", b"x" * 40, b"Caf\xe9"]):
        db[20 + c * 32:20 + c * 32 + min(32, len(title))] = title[:32]
    unit = config_unit(bytes(range(256)) * 20)
    return (msg(5, hello(channels=4)) + msg(270, rights(rows=b"\1\1\1\1\1\0\1\1\1")) + msg(153, b"\1" * 928)
            + msg(353, b"\1" * 58) + msg(258, bytes(db)) + msg(256, struct.pack(">IIII", 0, 3, 0, 0))
            + msg(352, b"\1\0" * 8) + msg(259, b"s" * 320) + msg(24, b"e" * 3200) + msg(125, b"d" * 1204)
            + msg(113, unit[:3000], last=False) + msg(113, unit[3000:]) + msg(33, struct.pack(">I", 51))
            + msg(116) + msg(344, struct.pack(">i", 2)) + msg(338, struct.pack(">i", 97))
            + msg(259, b"s" * 100) + msg(113, b"\0\0") + msg(271, rights(True, slot=20)))


seeds = {
    "admin": admin(),
    "admin_removed": msg(5, hello(channels=8)) + msg(271, rights(True, name=b"other")) + msg(256, b"\0" * 16),
    "playback": msg(5, hello(channels=4)) + msg(53) + msg(52, struct.pack(">I", 3))
    + b"".join(play_unit(c, 1000 + i // 2, (i % 2) * 512000, speed=s)
               for i, (c, s) in enumerate([(0, 11), (1, 11), (0, 12), (1, 9), (0, 10)] * 12))
    + msg(63) + msg(65, b"\1" * 8) + msg(268) + msg(267, struct.pack(">i", 1)),
    "searches": msg(261, b"\0\0\x07\xe8" + b"\1" * 372) + msg(264, b"\0" * 48, last=False) + msg(264, b"\0" * 10)
    + msg(333, struct.pack(">III", 1, 40, 7) + b"\2" * 48) + msg(333, b"\0" * 6) + msg(330, b"\3" * 24)
    + msg(262, struct.pack(">i", 83)) + msg(331, struct.pack(">i", 1)),
    "login": msg(5, hello()),
    "login_live": msg(5, hello()) + msg(17, struct.pack(">I", 0x000F000F))
    + msg(18, b"\1" * 300, last=False) + msg(18, b"\2" * 30),
    "bye": msg(4, struct.pack(">i", 2)),
    "trans_nack": msg(102, struct.pack(">iII", 87, 100, 200)),
    "unknown": msg(300, b"\0" * 10) + msg(5, hello(2)),
    "refusals": b"".join(msg(c, struct.pack(">i", 1)) for c in (19, 22, 54, 262, 274, 117)),
    "fragments": b"".join(msg(c, b"x" * 100, last=False) + msg(c, b"y" * 10) for c in (113, 261, 266, 295, 321)),
    "logs": msg(321, log_entries(300)[:60000], last=False) + msg(321, log_entries(300)[60000:])
    + msg(321, log_entries(3, 256, 256)) + msg(321, log_entries(2, 200, 0)) + msg(321, log_entries(4)[:650])
    + msg(327, b"\1" * 56) + msg(327, b"\2" * 10) + msg(322, struct.pack(">i", 86)) + msg(328, struct.pack(">i", 83)),
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
