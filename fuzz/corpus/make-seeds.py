#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/).

The seeds are committed; run this again only after changing how a target reads
its input. Each seed is a small, valid example of what the target takes: the
layouts are described at the top of each fuzz/*Fuzzer.cpp.

    fuzz/corpus/make-seeds.py
"""

import glob
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
# The image the project carries: the one .syx file in firmware/ (named by the build).
(IMAGE,) = glob.glob(os.path.join(HERE, "..", "..", "firmware", "*.syx"))

MAKER = bytes([0x00, 0x6C, 0x51])
PEDAL = 0x2E


def header(model=PEDAL):
    return MAKER + bytes([0x00, model])


def pack(data):
    """The pedal's 7-in-8 packing: a high-bits byte, then up to seven low parts."""
    out = bytearray()
    for start in range(0, len(data), 7):
        group = data[start:start + 7]
        high = 0
        for k, byte in enumerate(group):
            if byte & 0x80:
                high |= 1 << (6 - k)
        out.append(high)
        out.extend(b & 0x7F for b in group)
    return bytes(out)


def packages():
    image = open(IMAGE, "rb").read()
    cut, start = [], 0
    for i, byte in enumerate(image):
        if byte == 0xF7:
            cut.append(image[start:i + 1])
            start = i + 1
    return image, cut


# A message as FuzzedMessages reads it: kind byte, length word, bytes.
def raw(data):
    return bytes([0]) + struct.pack("<H", len(data)) + data


def sysex(data):
    return bytes([1]) + struct.pack("<H", len(data)) + data


def device(tail):
    return bytes([2]) + struct.pack("<H", len(tail)) + tail


def header_prefix(length):
    return bytes([3]) + struct.pack("<H", length)


def burst(*messages):
    return bytes([len(messages)]) + b"".join(messages)


def revision_reply(revision):
    return bytes([0x03]) + pack(struct.pack("<i", revision))


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def midi_input():
    boot, normal, upper, closed = 0, 1, 2, 3

    def names(*indexes):
        return bytes([len(indexes)]) + bytes(indexes)

    def request(form, command, pauses):
        return bytes([form, command, pauses - 1])

    ack = device(b"\x01")
    write("midi_input", "found-then-revision",
          bytes([PEDAL]) + names(boot) + names(boot) + request(0, 0x03, 3) + burst()
          + burst(ack) + burst(device(revision_reply(1222))))
    write("midi_input", "silent-pair-then-noise-around-the-reply",
          bytes([PEDAL]) + names(normal, boot) + names(boot, normal) + request(1, 0x03, 1)
          + burst(sysex(b"\x7e\x7f\x06\x01"), raw(b"\xf8"), header_prefix(3))
          + burst() + burst(ack, device(b"\x01\x02"))
          + burst(raw(b"\x90\x3c\x64"), sysex(header(0x2F) + revision_reply(7)), device(b""),
                  device(b"\x02\x00"), ack, device(revision_reply(1222)), device(revision_reply(1187))))
    write("midi_input", "names-differ-in-case-or-cannot-open",
          bytes([PEDAL]) + names(upper, closed, boot) + names(boot, closed) + request(2, 0x00, 2) + burst()
          + burst(ack) + burst(ack) + burst(device(b"\x05")))
    write("midi_input", "lone-start-byte-and-short-sysex",
          bytes([0x10]) + names(boot) + names(boot) + request(3, 0x00, 1) + burst(raw(b""))
          + burst(raw(b"\xf0\x00\x6c"), device(b"\x01")) + burst(header_prefix(4), device(b"\x7f")))


def seven_bit():
    write("seven_bit", "revision-reply", header() + revision_reply(1222))
    write("seven_bit", "high-bits-41", bytes([0x41]) + bytes(7))
    write("seven_bit", "short-last-group", bytes([0x7F, 1, 2, 3, 4, 5, 6, 7, 0x40, 0x11]))
    write("seven_bit", "too-short-for-a-revision", header() + bytes([0x03, 0x00, 0x01, 0x02, 0x03]))


def package_cut():
    image, cut = packages()
    write("package_cut", "image-head-and-end", b"\x00" + b"".join(cut[:3]) + cut[-1])
    write("package_cut", "tail-without-f7", b"\x00" + cut[0] + b"\xf0\x00\x6c\x51\x00\x2e\x52\x01")
    write("package_cut", "no-f7-at-all", b"\x00\xf0\x01\x02\x03\x04\x05\x06")
    write("package_cut", "f7-runs", b"\x00\xf7\xf7\xf0\xf7\xf7")
    write("package_cut", "record-without-bytes", b"\x01" + cut[0])


def pedal_blocks():
    image, cut = packages()
    probe = device(b"\x00")
    query = device(b"\x03")
    begin, end = raw(cut[0]), raw(cut[-1])
    blocks = [raw(p) for p in cut[1:4]]
    write("pedal_blocks", "begin-blocks-end", bytes([0x00]) + begin + b"".join(blocks) + end + query)
    write("pedal_blocks", "transit-faults",
          bytes([0x1E]) + struct.pack("<HHHH", 0, 1, 2, 1) + probe + begin + b"".join(blocks) + query)
    write("pedal_blocks", "normal-operation-ignores-firmware",
          bytes([0x01]) + probe + begin + blocks[0] + end + query)
    write("pedal_blocks", "malformed-and-foreign",
          bytes([0x00]) + begin + device(b"\x52" + bytes(20)) + device(b"\x52\x01\x02") + header_prefix(2)
          + sysex(header(0x2F) + b"\x52\x01") + raw(b"\x90\x3c\x64") + device(b"\x52\x01") + query)


def pedal_settings():
    for name, text in [
        ("example", "ack=late:400,lose-block=17"),
        ("blocks", "lose-block=17+40-42,duplicate-block=random:3,reorder-block=none,corrupt-block=489,seed=5"),
        ("answers", "revision=wrong:1187,restart-ms=never,ack=none,start-revision=-5"),
        ("ports", "names=case,extra-devices=2,unopenable-devices=64,unopenable=both,second-pedal=normal"),
        ("foreign", "foreign=maker+clock+short,foreign-rate=200,foreign-burst=5,plugged=yes"),
        ("utf8", "name=P\u00e9dale \u20ac,mode=normal"),
    ]:
        write("pedal_settings", name, text.encode("utf-8"))


if __name__ == "__main__":
    midi_input()
    seven_bit()
    package_cut()
    pedal_blocks()
    pedal_settings()
