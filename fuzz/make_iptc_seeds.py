#!/usr/bin/env python3
"""Writes the seed corpus of iptc_fuzz: small IPTC resource blocks as a JPEG APP13 segment carries them."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "iptc")


def record(rec, ds, data, extended=False):
    if extended or len(data) >= 0x8000:
        return bytes([0x1C, rec, ds, 0x80, 0x04]) + struct.pack(">I", len(data)) + data
    return bytes([0x1C, rec, ds]) + struct.pack(">H", len(data)) + data


def resource(rid, data, name=b""):
    pname = bytes([len(name)]) + name
    if len(pname) % 2:
        pname += b"\0"
    body = b"8BIM" + struct.pack(">H", rid) + pname + struct.pack(">I", len(data)) + data
    return body + (b"\0" if len(data) % 2 else b"")


def block(records, before=b""):
    return b"Photoshop 3.0\0" + before + resource(0x0404, b"".join(records))


SEEDS = {
    "typical": block([record(2, 0, b"\x00\x04"), record(2, 5, b"Harbour at dusk"),
                      record(2, 25, b"boats"), record(2, 25, b"evening"),
                      record(2, 80, b"A. Photographer"), record(2, 55, b"20240315"),
                      record(2, 120, b"Fishing boats return to the harbour as the lights come on.")]),
    # 28 bytes of records: the size field holds a 0x1C byte.
    "size-holds-tag": block([record(2, 120, b"Hello there"), record(2, 25, b"a"), record(2, 25, b"b")]),
    "extended-length": block([record(2, 5, b"short"), record(2, 120, b"x" * 200, extended=True),
                              record(2, 25, b"")]),
    "other-resource-first": block([record(2, 5, b"title"), record(2, 116, b"(c) nobody")],
                                  before=resource(0x03ED, b"\x1c" * 16, b"res")),
    "bare-records": b"\x00\x01junk" + record(1, 90, b"\x1b%G") + record(2, 5, b"bare") + record(2, 25, b"k"),
    "cut-short": block([record(2, 5, b"kept"), record(2, 120, b"lost caption")])[:-6],
    "huge-length": block([record(2, 5, b"kept!")]) + bytes([0x1C, 2, 120, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xF7]) + b"abc",
    # (op, type, length, data) triples for the marker list side.
    "markers": b"".join(bytes([op, t]) + struct.pack(">H", len(d)) + d for op, t, d in [
        (0, 0xE1, b"Exif\0\0" + b"\0" * 20), (0, 0xFE, b"comment one"), (1, 0xED, b"replaced"),
        (0, 0xFE, b"comment two"), (0, 0xE2, b"")]) + bytes([0, 0xED, 0xFF, 0xFF]),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name + ".bin"), "wb") as f:
        f.write(data)
