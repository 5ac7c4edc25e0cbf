#!/usr/bin/env python3
"""Writes small archives for the tests, in the forms that other programs write them.

Usage: make_archives.py KIND OUT MEMBER...

KIND is one of
  zip-cp949   a zip whose names are CP949 bytes without the UTF-8 flag, as Korean Windows
              wrote them; MEMBER is "name=text" (a name ending in "/" is a folder)
  zip-raw     the same with each name given as hexadecimal bytes: "hex=text"
  zip-utf8    a zip whose names are UTF-8 with the flag, as Python writes them
  rar         a RAR 4 archive of stored members
  cab         a Microsoft cabinet of uncompressed members
  lha         an LHA archive of level-0 headers and stored (-lh0-) members

Every member is dated 2004-05-06 07:08:10 (local time, as DOS dates are), so tests can check
the dates that come back. Only the standard library is used.
"""

import binascii
import struct
import sys
import zipfile

DATE = (2004, 5, 6, 7, 8, 10)


def dos_date_time():
    year, month, day, hour, minute, second = DATE
    date = (year - 1980) << 9 | month << 5 | day
    time = hour << 11 | minute << 5 | second // 2
    return date, time


class Cp949Info(zipfile.ZipInfo):
    """A zip entry whose name is written as raw bytes, the UTF-8 flag left off."""

    raw_name = b""

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits & ~0x800


def write_zip(out, members, encode):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in members:
            raw = encode(name)
            info = Cp949Info(raw.decode("latin-1"), DATE)
            info.raw_name = raw
            if name.endswith("/"):
                info.external_attr = 0o40755 << 16 | 0x10
            archive.writestr(info, data)


def write_zip_utf8(out, members):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in members:
            archive.writestr(zipfile.ZipInfo(name, DATE), data)


def rar_block(kind, flags, body, extra=b""):
    size = 7 + len(body)
    head = struct.pack("<BHH", kind, flags, size) + body
    crc = binascii.crc32(head) & 0xFFFF
    return struct.pack("<H", crc) + head + extra


def write_rar(out, members):
    date, time = dos_date_time()
    blocks = [b"Rar!\x1a\x07\x00", rar_block(0x73, 0, struct.pack("<HI", 0, 0))]
    for name, data in members:
        folder = name.endswith("/")
        raw = name.rstrip("/").replace("/", "\\").encode("cp949")
        flags = 0x8000 | (0xE0 if folder else 0)
        body = struct.pack("<IIBIIBBHI", len(data), len(data), 2, binascii.crc32(data), time | date << 16,
                           20, 0x30, len(raw), 0x10 if folder else 0x20) + raw
        blocks.append(rar_block(0x74, flags, body, data))
    blocks.append(rar_block(0x7B, 0x4000, b""))
    with open(out, "wb") as f:
        f.write(b"".join(blocks))


def write_cab(out, members):
    date, time = dos_date_time()
    files = [(name.replace("/", "\\").encode("utf-8"), data) for name, data in members if not name.endswith("/")]
    header_size, folder_size = 36, 8
    entries = b""
    offset = 0
    for raw, data in files:
        entries += struct.pack("<IIHHHH", len(data), offset, 0, date, time, 0x20 | 0x80) + raw + b"\0"
        offset += len(data)
    payload = b"".join(data for _, data in files)
    data_start = header_size + folder_size + len(entries)
    block = struct.pack("<IHH", 0, len(payload), len(payload)) + payload
    total = data_start + len(block)
    header = struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, total, 0, header_size + folder_size, 0, 3, 1, 1,
                         len(files), 0, 0, 0)
    folder = struct.pack("<IHH", data_start, 1, 0)
    with open(out, "wb") as f:
        f.write(header + folder + entries + block)


def write_lha(out, members):
    date, time = dos_date_time()
    parts = []
    for name, data in members:
        if name.endswith("/"):
            continue
        raw = name.replace("/", "\\").encode("cp949")
        fields = (b"-lh0-" + struct.pack("<IIHHBBB", len(data), len(data), time, date, 0x20, 0, len(raw)) + raw
                  + struct.pack("<H", 0))
        parts.append(struct.pack("<BB", len(fields), sum(fields) & 0xFF) + fields + data)
    parts.append(b"\0")
    with open(out, "wb") as f:
        f.write(b"".join(parts))


def main():
    kind, out = sys.argv[1], sys.argv[2]
    members = []
    for item in sys.argv[3:]:
        name, _, text = item.partition("=")
        members.append((name, text.encode("utf-8")))
    if kind == "zip-cp949":
        write_zip(out, members, lambda name: name.encode("cp949"))
    elif kind == "zip-raw":
        write_zip(out, members, bytes.fromhex)
    elif kind == "zip-utf8":
        write_zip_utf8(out, members)
    elif kind == "rar":
        write_rar(out, members)
    elif kind == "cab":
        write_cab(out, members)
    elif kind == "lha":
        write_lha(out, members)
    else:
        sys.exit(f"unknown kind {kind}")


if __name__ == "__main__":
    main()
