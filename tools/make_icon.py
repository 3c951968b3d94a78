#!/usr/bin/env python3
"""Draws the installer's icon (a gold star on a deep-blue rounded tile) and writes it as a
Windows .ico with 16, 24, 32, 48 and 256 pixel images. Standard library only."""
import math
import struct
import sys
import zlib


def coverage_tile(x, y, size):
    r = size * 0.18
    half = size / 2.0
    dx = max(abs(x - half) - (half - r - size * 0.03), 0.0)
    dy = max(abs(y - half) - (half - r - size * 0.03), 0.0)
    return math.hypot(dx, dy) <= r


def inside_star(x, y, size):
    cx, cy = size / 2.0, size * 0.53
    outer, inner = size * 0.36, size * 0.15
    pts = []
    for i in range(10):
        ang = -math.pi / 2 + i * math.pi / 5
        rad = outer if i % 2 == 0 else inner
        pts.append((cx + rad * math.cos(ang), cy + rad * math.sin(ang)))
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def render(size):
    """Returns rows of (r, g, b, a), top row first, 4x4 supersampled."""
    ss = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    x = px + (sx + 0.5) / ss
                    y = py + (sy + 0.5) / ss
                    if not coverage_tile(x, y, size):
                        continue
                    t = y / size
                    if inside_star(x, y, size):
                        col = (255, int(214 - 40 * t), int(90 - 60 * t))
                    else:
                        col = (int(24 + 30 * (1 - t)), int(60 + 50 * (1 - t)), int(140 + 80 * (1 - t)))
                    acc[0] += col[0]
                    acc[1] += col[1]
                    acc[2] += col[2]
                    acc[3] += 255
            n = ss * ss
            a = acc[3] / n
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                k = 255.0 / acc[3]
                row.append((int(acc[0] * k), int(acc[1] * k), int(acc[2] * k), int(a)))
        rows.append(row)
    return rows


def bmp_entry(size, rows):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)
    return header + bytes(pixels) + mask


def png_entry(size, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')


def main(out):
    sizes = [16, 24, 32, 48, 256]
    images = []
    for s in sizes:
        rows = render(s)
        images.append(png_entry(s, rows) if s == 256 else bmp_entry(s, rows))
    offset = 6 + 16 * len(sizes)
    data = struct.pack('<HHH', 0, 1, len(sizes))
    for s, img in zip(sizes, images):
        dim = 0 if s == 256 else s
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
