#!/usr/bin/env python3
"""Seeds for the firmware file fuzzer: one header of each form."""
import os
import struct
import sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def pad(b, n=300):
    return b + bytes(n - len(b))


new = bytearray(300)
new[0] = 3
new[3:8] = b"VBoot"
new[67:72] = b"VBoot"
new[8:12] = struct.pack(">I", 1_300_000_000)
new[32:39] = b"KERNEL1"
boot = bytearray(300)
boot[0] = 1
boot[3:8] = b"VBoot"
boot[64:96] = b"BOOTMODEL1 (Mar 10 2011 - 12:34:56)"[:32]
plain = bytearray(pad(b"\x02xxxMODELNAME01 (Mar 10 2011 - 12:34:56)"))
for name, data in (("new", new), ("boot", boot), ("plain", plain)):
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes(data))
