"""Reference colour kernels of the image effects, independent of the engine.

Usage: effects_reference.py WIDTH HEIGHT IN OUT_GREY OUT_MATRIX M0 .. M8
IN holds WIDTH x HEIGHT pixels as bytes b, g, r, a; the outputs are written the same way.
"""
import struct
import sys


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def channel(v):
    v = f32(v)
    if v > 255.0:
        return 255
    if not v > 0.0:
        return 0
    return int(v)


def main():
    w, h = int(sys.argv[1]), int(sys.argv[2])
    src = open(sys.argv[3], 'rb').read()
    m = [f32(float(x)) for x in sys.argv[6:15]]
    wr, wg, wb = f32(0.2125), f32(0.7154), f32(0.0721)
    grey, matrix = bytearray(), bytearray()
    for i in range(w * h):
        b, g, r, a = src[4 * i:4 * i + 4]
        y = wg * g + wr * r + wb * b
        y = 255 if y > 255.0 else int(y)
        grey += bytes((y, y, y, a))
        r2 = channel(m[0] * r + m[1] * g + m[2] * b)
        g2 = channel(m[3] * r + m[4] * g + m[5] * b)
        b2 = channel(m[6] * r + m[7] * g + m[8] * b)
        matrix += bytes((b2, g2, r2, a))
    open(sys.argv[4], 'wb').write(grey)
    open(sys.argv[5], 'wb').write(matrix)


main()
