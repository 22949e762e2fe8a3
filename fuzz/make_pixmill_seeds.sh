#!/usr/bin/env bash
# Regenerates the small synthetic seed corpora of the pixmill fuzzers:
# PCX pictures (raw, run-length coded with edge bytes, 16-colour), Targa
# pictures (each depth, both codings, id and colour map to skip) and MIP and
# PBF files (16-bit, 4-bit with a shared map, 4-bit with a map per level)
# and PNG pictures (grey, palette with transparency, 16-bit RGBA, every row
# filter).
#   fuzz/make_pixmill_seeds.sh
set -euo pipefail
cd "$(dirname "$0")"
python3 - <<'PY'
import os, struct

def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(bytes(data))

# ---- PCX ----
def pcx(width, height, encoding, data, palette=True, version=5):
    header = bytearray(128)
    header[0], header[1], header[2], header[3] = 0x0A, version, encoding, 8
    struct.pack_into("<4h", header, 4, 0, 0, width - 1, height - 1)
    for i in range(48):
        header[16 + i] = (i * 37) & 0xFF
    header[65] = 1
    tail = bytes([12]) + bytes((i * 7) & 0xFF for i in range(768)) if palette else b""
    return bytes(header) + bytes(data) + tail

write("corpus/pixmill_pcx", "raw_4x2.pcx", pcx(4, 2, 0, range(20, 28)))
write("corpus/pixmill_pcx", "rle_5x3.pcx",
      pcx(5, 3, 1, [0xC0, 0x10, 0xC1, 0x05, 0xBF, 0xC3, 0x11, 0xC2, 0xC7,
                    0xFF, 0x12]))
write("corpus/pixmill_pcx", "sixteen_colours.pcx",
      pcx(3, 2, 1, [0xC4, 0x01, 0xC4, 0x02], palette=False, version=3))

# ---- Targa ----
def tga(width, height, depth, image_type, descriptor, data, id_length=0,
        map_length=0, map_bits=0):
    header = struct.pack("<BBBHHBHHHHBB", id_length, 1 if map_length else 0,
                         image_type, 0, map_length, map_bits, 0, 0, width,
                         height, depth, descriptor)
    skip = id_length + map_length * map_bits // 8
    return header + bytes(0x5A for _ in range(skip)) + bytes(data)

write("corpus/pixmill_tga", "raw24_3x2.tga",
      tga(3, 2, 24, 2, 0x00, range(1, 19)))
write("corpus/pixmill_tga", "rle32_4x2.tga",
      tga(4, 2, 32, 10, 0x20, [0x82, 1, 2, 3, 4, 0x04, *range(10, 30)]))
write("corpus/pixmill_tga", "raw16_id_map.tga",
      tga(2, 2, 16, 2, 0x30, [0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00],
          id_length=3, map_length=2, map_bits=24))
write("corpus/pixmill_tga", "fallback8.tga", tga(2, 2, 8, 11, 0x10, [0x83]))

# ---- MIP and PBF ----
def chunk(tag, body):
    out = tag + struct.pack("<Ii", 0, len(body)) + bytes(body)
    return out + b" " * (-len(out) % 4)

def level(fmt, width, height, stride, seed, colormap=None):
    body = chunk(b"DHMB", struct.pack("<BiiiB", fmt, width, height, stride, 0))
    if colormap is not None:
        body += chunk(b"PAMC", colormap)
    body += chunk(b"ATAD", bytes((i * 7 + seed) & 0xFF for i in range(stride * height)))
    return chunk(b"PAMB", body)

def colormap(seed):
    return b"".join(struct.pack("<I", 0xF0000000 + i * 0x010203 + seed) for i in range(16))

def mip(fmt, log2w, log2h, flags, levels, top=None):
    body = chunk(b"DHPM", struct.pack("<BiiIBi", fmt, log2w, log2h, 0x11223344, flags, len(levels)))
    if top is not None:
        body += chunk(b"PAMC", top)
    return chunk(b"PIM ", body + b"".join(levels))

write("corpus/pixmill_mip", "one_565_level.mip", mip(3, 3, 3, 3, [level(3, 8, 8, 16, 1)]))
write("corpus/pixmill_mip", "shared_map.mip",
      mip(0, 3, 3, 2, [level(0, 8, 8, 4, 2), level(0, 4, 4, 4, 3)], top=colormap(5)))
write("corpus/pixmill_mip", "map_per_level.mip",
      mip(2, 3, 2, 0, [level(2, 8, 4, 4, 4, colormap(6)), level(2, 4, 2, 4, 5, colormap(7)),
                       level(2, 2, 1, 4, 6, colormap(8))]))
write("corpus/pixmill_mip", "level.pbf", level(1, 5, 2, 4, 9, colormap(4)))
write("corpus/pixmill_mip", "flat_sprite.srb",
      chunk(b" BRS", chunk(b"DHRS", struct.pack("<6f", 2.5, 1.0, 7.0, 8.0, 3.5, -0.25)) +
            chunk(b"2HRS", b"\x01" + bytes(35))) + mip(3, 3, 3, 3, [level(3, 8, 8, 16, 1)]))

# ---- PNG ----
import zlib
def png(width, height, depth, colour_type, rows, plte=b"", trns=b""):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    out = b"\x89PNG\r\n\x1a\n"
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if plte:
        out += chunk(b"PLTE", plte)
    if trns:
        out += chunk(b"tRNS", trns)
    out += chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    return out + chunk(b"IEND", b"")

write("corpus/pixmill_png", "grey1_9x2.png",
      png(9, 2, 1, 0, [b"\x00\xa5\x80", b"\x00\x3c\x00"]))
write("corpus/pixmill_png", "palette4_trns.png",
      png(5, 2, 4, 3, [b"\x00\x01\x23\x40", b"\x02\x56\x70\x10"],
          plte=bytes(range(0, 24)), trns=b"\x00\x80\xff"))
write("corpus/pixmill_png", "rgba16_filters.png",
      png(2, 5, 16, 6, [bytes([f]) + bytes((f * 29 + i * 7) & 0xFF for i in range(16))
                        for f in range(5)]))
write("corpus/pixmill_png", "rgb8_keyed.png",
      png(3, 3, 8, 2, [bytes([1]) + bytes(range(i, i + 9)) for i in range(3)],
          trns=b"\x00\x01\x00\x02\x00\x03"))

# Found by fuzzing: an empty data chunk before the first one with data.
def chunked(width, height, rows, idat_sizes):
    data = zlib.compress(b"".join(rows), 9)
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    for size in idat_sizes:
        out += chunk(b"IDAT", data[:size])
        data = data[size:]
    return out + chunk(b"IDAT", data) + chunk(b"IEND", b"")
write("corpus/pixmill_png", "regression-empty-first-idat.png",
      chunked(5, 5, [b"\x00" + bytes(range(i, i + 15)) for i in range(5)], [0, 7, 0]))
PY
