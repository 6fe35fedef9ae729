#!/usr/bin/env python3
"""Converts an X window dump (xwd, 24 or 32 bits per pixel, ZPixmap) to PNG
with the Python standard library only.
    xwd2png.py <in.xwd> <out.png>"""
import struct
import sys
import zlib


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError("unsupported dump: version %d format %d bpp %d" % (version, pixmap_format, bits_per_pixel))
    offset = header_size + ncolors * 12
    step = bits_per_pixel // 8
    order = "<" if byte_order == 0 else ">"

    def shift(mask):
        s = 0
        while mask and not mask & 1:
            mask >>= 1
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        out = bytearray(b"\0")  # filter: none
        for x in range(width):
            chunk = line[x * step: x * step + step]
            if step == 4:
                value = struct.unpack(order + "I", chunk)[0]
            else:
                value = int.from_bytes(chunk, "little" if order == "<" else "big")
            out += bytes(((value & red_mask) >> rs, (value & green_mask) >> gs, (value & blue_mask) >> bs))
        rows.append(bytes(out))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    with open(sys.argv[1], "rb") as f:
        width, height, raw = read_xwd(f.read())
    write_png(sys.argv[2], width, height, raw)


if __name__ == "__main__":
    main()
