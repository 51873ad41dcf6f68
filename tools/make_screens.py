#!/usr/bin/env python3
"""The sixteen animated screens of the sample production's screen wall.

Each screen is a short looping animation drawn here pixel by pixel (plasma,
bars, a bouncing ball, a radar sweep, an equaliser, a starfield, a game of
pong, a noise channel, ...), 160 x 120 pixels, 12 frames at 10 frames a
second, encoded with our BPG writer over x265.

  make_screens.py <output folder> [<cache folder>]

Writes screen01.bpg .. screen16.bpg. With a cache folder the files are kept
there under a key made from this script and the writer, so that rebuilding
the pack does not encode them again.
"""
import hashlib
import math
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bpg_writer  # noqa: E402

W, H, FRAMES, FPS = 160, 120, 12, 10


def hue(h):
    """A bright colour around the hue circle, h in turns."""
    h = h % 1.0
    r = 0.5 + 0.5 * math.cos(6.2831853 * h)
    g = 0.5 + 0.5 * math.cos(6.2831853 * (h - 1 / 3))
    b = 0.5 + 0.5 * math.cos(6.2831853 * (h - 2 / 3))
    return r, g, b


def plasma(x, y, t, k):
    v = math.sin(x * 0.07 + t * 6.28) + math.sin(y * 0.09 - t * 6.28) + math.sin((x + y) * 0.05 + k)
    return hue(v * 0.25 + k * 0.1)


def bars(x, y, t, k):
    band = int((x + t * W) / 20) % 6
    return hue(band / 6 + k * 0.13) if (y // 30) % 2 == 0 else hue(band / 6 + 0.5)


def ball(x, y, t, k):
    bx = W / 2 + (W / 2 - 18) * math.sin(6.28 * t)
    by = H - 18 - (H - 36) * abs(math.sin(6.28 * t + k))
    d = math.hypot(x - bx, y - by)
    floor = 0.25 if (x // 16 + y // 16) % 2 else 0.1
    c = hue(0.1 * k)
    return c if d < 14 else (floor, floor, floor * 1.5)


def radar(x, y, t, k):
    dx, dy = x - W / 2, y - H / 2
    r = math.hypot(dx, dy)
    a = (math.atan2(dy, dx) / 6.2831853 - t) % 1.0
    glow = max(0.0, 1.0 - a * 4) * (1.0 if r < 55 else 0.0)
    ring = 0.6 if abs(r % 18 - 9) < 0.7 else 0.0
    return 0.05, min(1.0, 0.15 + glow + ring * 0.5), 0.1 + 0.3 * glow


def equaliser(x, y, t, k):
    col = x // 16
    level = 0.5 + 0.45 * math.sin(t * 6.28 * (1 + col % 3) + col * 1.7 + k)
    top = H * (1 - level)
    if y < top or x % 16 > 12:
        return 0.02, 0.02, 0.05
    return hue(0.33 * (1 - y / H) + k * 0.05)


def starfield(x, y, t, k):
    v = 0.0
    for i in range(12):
        sx = (37 * i * i + 11 * k + t * W * (1 + i % 3)) % W
        sy = (53 * i + 7 * k) % H
        if abs(x - sx) < 1.5 and abs(y - sy) < 1.5:
            v = 1.0
    return v * 0.9, v * 0.9, 0.15 + v * 0.85


def pong(x, y, t, k):
    bx = 10 + (W - 20) * abs(((t * 2 + k * 0.1) % 2) - 1)
    by = H / 2 + 40 * math.sin(6.28 * t * 2)
    if abs(x - bx) < 3 and abs(y - by) < 3:
        return 1.0, 1.0, 1.0
    if (x < 6 and abs(y - by) < 14) or (x > W - 7 and abs(y - by) < 14):
        return 0.9, 0.9, 0.9
    if abs(x - W / 2) < 1 and (y // 6) % 2:
        return 0.5, 0.5, 0.5
    return 0.0, 0.08 * k, 0.1


def noise(x, y, t, k):
    # A small linear congruential generator: the same snow every build.
    s = (x * 7919 + y * 104729 + int(t * 1000) * 1299709 + k) & 0xFFFFFFFF
    s = (s * 1103515245 + 12345) & 0x7FFFFFFF
    v = (s >> 16) / 32768.0
    stripe = 0.3 if int(y + t * 200) % 40 < 3 else 0.0
    grey = min(1.0, v * 0.8 + stripe)
    return grey, grey, grey


KINDS = [plasma, bars, ball, radar, equaliser, starfield, pong, noise]


def frame_rgb(kind, frame, k):
    t = frame / FRAMES
    out = bytearray(W * H * 3)
    i = 0
    for y in range(H):
        for x in range(W):
            r, g, b = kind(x, y, t, k)
            out[i] = min(255, max(0, int(r * 255)))
            out[i + 1] = min(255, max(0, int(g * 255)))
            out[i + 2] = min(255, max(0, int(b * 255)))
            i += 3
    return bytes(out)


def cache_key():
    h = hashlib.sha256()
    for name in (__file__, bpg_writer.__file__):
        with open(name, "rb") as f:
            h.update(f.read())
    return h.hexdigest()[:16]


def main():
    out = sys.argv[1]
    cache = os.path.join(sys.argv[2], cache_key()) if len(sys.argv) > 2 else None
    os.makedirs(out, exist_ok=True)
    for n in range(16):
        name = "screen%02d.bpg" % (n + 1)
        if cache and os.path.exists(os.path.join(cache, name)):
            shutil.copyfile(os.path.join(cache, name), os.path.join(out, name))
            continue
        kind, variant = KINDS[n % len(KINDS)], n // len(KINDS)
        frames = [frame_rgb(kind, f, variant + n) for f in range(FRAMES)]
        data = bpg_writer.encode_rgb(frames, W, H, "420", fps=(FPS, 1), qp=28)
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        if cache:
            os.makedirs(cache, exist_ok=True)
            shutil.copyfile(os.path.join(out, name), os.path.join(cache, name))


if __name__ == "__main__":
    main()
