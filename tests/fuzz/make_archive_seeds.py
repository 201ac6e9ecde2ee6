#!/usr/bin/env python3
"""Writes seed inputs for the archive reader fuzzer: small valid pairs in its
compact form (lengths, a time, header and summary, block records, event
records, seek list, .idx trailer, then the .vid)."""
import os
import struct
import sys

SIG = b"tarnrec9w".ljust(16, b"\0")
T = 1_700_000_000


def record(magic, body_at24=b""):
    r = bytearray(SIG + struct.pack(">I", magic))
    r += bytes(24 - len(r)) + body_at24
    return r


def video(time, key, channel, payload, link):
    u = bytearray(192 + payload)
    struct.pack_into(">IIIII", u, 16, 0x20061123, 0, time, payload, link)
    struct.pack_into(">I", u, 40, key)
    u[132], u[133] = 288 // 16, 352 // 16
    struct.pack_into("<I", u, 148, time)
    u[164] = channel
    return bytes(u)


def audio(mask, payload, link):
    u = bytearray(64 + payload)
    struct.pack_into(">IIIII", u, 16, 0x2518F049, 0, 0, payload, link)
    struct.pack_into(">I", u, 52, mask)
    return bytes(u)


def pair(frames, with_audio):
    vid = bytearray(SIG + struct.pack(">I", 0x20070516) + bytes(44))
    seeks, blocks, link, last_time, last_key, latest_audio = [], [], 64, None, None, 0
    for time, key, channel in frames:
        if with_audio and channel == 1:
            latest_audio = len(vid)
            vid += audio(0b11, 96, link)
        at = len(vid)
        if key != last_key:
            blocks.append([time, time, 0x2000C0 + 8 * len(seeks), 0])
            seeks.append((at, latest_audio))
        elif time != last_time:
            seeks.append((at, latest_audio))
        blocks[-1][1] = time
        blocks[-1][3] |= 1 << channel
        vid += video(time, key, channel, 60, link)
        link, last_time, last_key = at, time, key
    vid += SIG + struct.pack(">IIIIII", 0x19720505, 0, 0, 0, 0, link) + bytes(24)
    head = SIG + struct.pack(">I", 0x20070516) + bytes(44)
    summary = SIG + struct.pack(">IIIII", 0xCAFECAFE, 0, blocks[0][0], blocks[-1][1], len(blocks)) + bytes(92)
    table = b"".join(bytes(record(0xBC987302, struct.pack(">IIIIII", s, e, p, m, 0, m))).ljust(256, b"\0")
                     for s, e, p, m in blocks)
    events = SIG[:0] + struct.pack(">III", T + 1, T + 2, 1) + bytes([1]) + bytes(19)
    seek = b"".join(struct.pack(">II", v, a) for v, a in seeks)
    trailer = SIG + struct.pack(">I", 0x19720505) + bytes(44)
    return (struct.pack(">HHHI", len(table), len(events), len(seek), T + 1) + head + summary + table + events +
            seek + trailer + bytes(vid))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    seeds = {
        "one_block": pair([(T, 1, 0), (T, 1, 1), (T + 1, 1, 0)], False),
        "two_blocks_audio": pair([(T, 1, 0), (T + 1, 1, 1), (T + 3, 2, 0), (T + 4, 2, 1)], True),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
