#!/usr/bin/env python3
"""Writes cp1251_reference.txt: "byte unit" in hex for 0x80-0xFF, from
Python's own cp1251 codec, an independent reference for our table. Python
leaves 0x98 unassigned; Windows converts it to U+0098, so that is listed."""
lines = []
for b in range(0x80, 0x100):
    try:
        unit = ord(bytes([b]).decode("cp1251"))
    except UnicodeDecodeError:
        unit = b
    lines.append(f"{b:02X} {unit:04X}\n")
with open("cp1251_reference.txt", "w") as f:
    f.writelines(lines)
