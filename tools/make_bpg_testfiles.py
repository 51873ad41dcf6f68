#!/usr/bin/env python3
"""BPG files for the reader's tests, made with our writer over x265.

  make_bpg_testfiles.py <output folder>

Each lossy file comes with x265's own reconstruction (<name>.y4m), and each
lossless one with the planes that went in (<name>.yuv, planar, 8 or 16 bits
a sample), so that the tests check the decoded pictures against what the
encoder itself holds rather than against our writer:
  lossless420.bpg   66 x 50 still, 4:2:0, flat chroma (Cb 100, Cr 160)
  lossless_gray.bpg 66 x 50 still, grey
  lossless10.bpg    34 x 20 still, 4:4:4, 10 bits
  lossy444.bpg      66 x 50, 3 frames, 4:4:4
  lossy420.bpg      66 x 50, 4 frames, 4:2:0
  wide.bpg          264 x 16 still, grey (wider than a screen-wall slot)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bpg_writer  # noqa: E402


def luma(w, h, f):
    return bytes(30 + (x * 3 + y * 2 + f * 17 + (x * y) % 23) % 190 for y in range(h) for x in range(w))


def plane(w, h, f, a, b):
    return bytes(60 + (x * a + y * b + f * 9) % 140 for y in range(h) for x in range(w))


def write(out, name, data, planes=None, wide=False):
    with open(os.path.join(out, name + ".bpg"), "wb") as f:
        f.write(data)
    if planes is not None:
        with open(os.path.join(out, name + ".yuv"), "wb") as f:
            for p in planes:
                f.write(struct.pack("<%dH" % len(p), *p) if wide else p)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    w, h = 66, 50
    y = luma(w, h, 0)
    cw, ch = (w + 1) // 2, (h + 1) // 2
    flat = [y, bytes([100]) * (cw * ch), bytes([160]) * (cw * ch)]
    write(out, "lossless420", bpg_writer.encode_planes([flat], w, h, "420", lossless=True), flat)
    write(out, "lossless_gray", bpg_writer.encode_planes([[y]], w, h, "gray", lossless=True), [y])

    w10, h10 = 34, 20
    p10 = [[(x * 29 + yy * 13 + c * 101) % 1024 for yy in range(h10) for x in range(w10)] for c in range(3)]
    raw10 = [struct.pack("<%dH" % len(p), *p) for p in p10]
    write(out, "lossless10", bpg_writer.encode_planes([raw10], w10, h10, "444", depth=10, lossless=True), p10,
          wide=True)

    frames444 = [[luma(w, h, f), plane(w, h, f, 2, 1), plane(w, h, f, 1, 3)] for f in range(3)]
    write(out, "lossy444", bpg_writer.encode_planes(frames444, w, h, "444", qp=22,
                                                    recon=os.path.join(out, "lossy444.y4m")))
    frames420 = [[luma(w, h, f), plane(cw, ch, f, 2, 1), plane(cw, ch, f, 1, 3)] for f in range(4)]
    write(out, "lossy420", bpg_writer.encode_planes(frames420, w, h, "420", qp=22,
                                                    recon=os.path.join(out, "lossy420.y4m")))
    write(out, "wide", bpg_writer.encode_planes([[bytes(264 * 16)]], 264, 16, "gray", lossless=True))


if __name__ == "__main__":
    main()
