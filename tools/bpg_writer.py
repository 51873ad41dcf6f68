#!/usr/bin/env python3
"""Our BPG writer over Debian's x265 encoder CLI.

Takes pictures as planes (Y'CbCr, or grey) or as 8-bit RGB frames, writes the raw
planes, lets the x265 CLI encode it (P-frames for an animation), then
keeps the picture parameter sets and slices of x265's Annex B stream and
wraps them in a BPG container: the VPS and SPS are dropped, and the few SPS
fields the container carries go into its HEVC header. x265 is run with the
options that make its SPS match the one a BPG reader rebuilds (asymmetric
partitions and temporal motion vector prediction on, equal transform depths
for intra and inter, no scaling lists, no long-term pictures); the writer
checks every such field and refuses a stream that differs.

Used as a module (tools/make_screens.py, tools/make_bpg_testfiles.py) or
from the command line:
  bpg_writer.py -o out.bpg [-q QP] [--lossless] [--444] [--fps N/D]
                [--recon recon.y4m] frame.png [frame.png ...]
PNG frames are read with ImageMagick's convert.
"""
import argparse
import os
import subprocess
import sys
import tempfile

FORMATS = {"gray": 0, "420": 1, "422": 2, "444": 3}
X265_CSP = {"gray": "i400", "420": "i420", "444": "i444"}


def ue7(value):
    """A container number: 7 bits a byte, most significant first."""
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(value & 0x7F)
        value >>= 7
    groups.reverse()
    return bytes([g | 0x80 for g in groups[:-1]] + [groups[-1]])


# --- HEVC bit streams -------------------------------------------------------

def split_annexb(data):
    """The NAL units of an Annex B stream, without their start codes."""
    nals, i, start = [], 0, None
    n = len(data)
    while i + 2 < n:
        if data[i] == 0 and data[i + 1] == 0 and data[i + 2] == 1:
            if start is not None:
                end = i
                while end > start and data[end - 1] == 0:
                    end -= 1
                nals.append(data[start:end])
            start = i + 3
            i += 3
        else:
            i += 1
    if start is not None:
        nals.append(data[start:])
    return nals


def rbsp(nal):
    """The payload with emulation prevention bytes removed."""
    out, zeros = bytearray(), 0
    for b in nal[2:]:
        if zeros >= 2 and b == 3:
            zeros = 0
            continue
        out.append(b)
        zeros = zeros + 1 if b == 0 else 0
    return bytes(out)


class BitReader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def u(self, n):
        v = 0
        for _ in range(n):
            v = (v << 1) | ((self.data[self.pos >> 3] >> (7 - (self.pos & 7))) & 1)
            self.pos += 1
        return v

    def ue(self):
        zeros = 0
        while self.u(1) == 0:
            zeros += 1
        return (1 << zeros) - 1 + self.u(zeros)


class BitWriter:
    def __init__(self):
        self.bits = []

    def u(self, n, v):
        self.bits += [(v >> (n - 1 - i)) & 1 for i in range(n)]

    def ue(self, v):
        x = v + 1
        length = x.bit_length() - 1
        self.u(length, 0)
        self.u(length + 1, x)

    def bytes(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def parse_sps(nal):
    """The SPS fields a BPG file keeps, after checking the fixed ones."""
    r = BitReader(rbsp(nal))
    r.u(4)
    max_sub_layers = r.u(3)
    if max_sub_layers:
        raise ValueError("x265 stream with temporal sub-layers")
    r.u(1)
    r.u(96)  # profile, tier and level
    r.ue()  # sps id
    chroma = r.ue()
    if chroma == 3 and r.u(1):
        raise ValueError("separate colour planes")
    width, height = r.ue(), r.ue()
    if r.u(1):
        for _ in range(4):
            r.ue()
    depth_luma, depth_chroma = r.ue() + 8, r.ue() + 8
    if r.ue() != 4:
        raise ValueError("picture order count lsb is not 8 bits")
    ordering = r.u(1)
    for _ in range(1 if ordering else 1):
        r.ue(), r.ue(), r.ue()
    f = {"chroma": chroma, "width": width, "height": height, "depth": depth_luma}
    f["log2_min_cb"] = r.ue()
    f["diff_cb"] = r.ue()
    f["log2_min_tb"] = r.ue()
    f["diff_tb"] = r.ue()
    depth_inter = r.ue()
    f["depth_intra"] = r.ue()
    if depth_inter != f["depth_intra"]:
        raise ValueError("transform depths of intra and inter differ")
    if r.u(1):
        raise ValueError("scaling lists")
    if r.u(1) != 1:
        raise ValueError("asymmetric motion partitions are off")
    f["sao"] = r.u(1)
    if r.u(1):
        raise ValueError("PCM")
    if r.ue() != 0:
        raise ValueError("reference picture sets in the SPS")
    if r.u(1):
        raise ValueError("long-term reference pictures")
    if r.u(1) != 1:
        raise ValueError("temporal motion vector prediction is off")
    f["strong"] = r.u(1)
    if depth_chroma != depth_luma and chroma:
        raise ValueError("luma and chroma depths differ")
    return f


def hevc_header(f):
    w = BitWriter()
    w.ue(f["log2_min_cb"])
    w.ue(f["diff_cb"])
    w.ue(f["log2_min_tb"])
    w.ue(f["diff_tb"])
    w.ue(f["depth_intra"])
    w.u(1, f["sao"])
    w.u(1, 0)  # pcm
    w.u(1, f["strong"])
    w.u(1, 0)  # no SPS extension
    return w.bytes()


# --- Pictures ---------------------------------------------------------------

def rgb_to_planes(rgb, width, height, fmt):
    """BT.601 full-range Y'CbCr planes of one 8-bit RGB frame."""
    n = width * height
    r, g, b = rgb[0::3], rgb[1::3], rgb[2::3]
    clamp = lambda v: 0 if v < 0 else (255 if v > 255 else int(v + 0.5))
    y = bytes(clamp(0.299 * r[i] + 0.587 * g[i] + 0.114 * b[i]) for i in range(n))
    if fmt == "gray":
        return [y]
    cb = [128 + (-0.168736 * r[i] - 0.331264 * g[i] + 0.5 * b[i]) for i in range(n)]
    cr = [128 + (0.5 * r[i] - 0.418688 * g[i] - 0.081312 * b[i]) for i in range(n)]
    if fmt == "444":
        return [y, bytes(map(clamp, cb)), bytes(map(clamp, cr))]
    return [y, subsample(cb, width, height, clamp), subsample(cr, width, height, clamp)]


def subsample(plane, width, height, clamp):
    """4:2:0 chroma centred between the luma samples: the 2x2 average."""
    cw, ch = (width + 1) // 2, (height + 1) // 2
    out = bytearray(cw * ch)
    for j in range(ch):
        y0, y1 = 2 * j, min(2 * j + 1, height - 1)
        for i in range(cw):
            x0, x1 = 2 * i, min(2 * i + 1, width - 1)
            out[j * cw + i] = clamp((plane[y0 * width + x0] + plane[y0 * width + x1] +
                                     plane[y1 * width + x0] + plane[y1 * width + x1]) / 4)
    return bytes(out)


def write_raw(path, frames):
    """Planar frames one after the other (x265's Y4M reader refuses pictures
    below 64 pixels, its raw reader does not)."""
    with open(path, "wb") as out:
        for planes in frames:
            for p in planes:
                out.write(p)


def ctu_size(width, height):
    """x265 wants a picture of at least one coding tree unit."""
    side = min(width, height)
    return 64 if side >= 64 else (32 if side >= 32 else 16)


def run_x265(raw, hevc, size, fps, fmt, depth, qp, lossless, frame_count, recon, ctu):
    cmd = ["x265", "--input", raw, "--input-res", "%dx%d" % size, "--fps", "%d/%d" % fps,
           "--input-depth", str(depth), "--output", hevc, "--log-level", "error", "--no-progress", "--no-info",
           "--input-csp", X265_CSP[fmt], "--output-depth", str(depth), "--preset", "medium",
           "--keyint", str(max(frame_count, 1)), "--min-keyint", "1", "--no-scenecut", "--no-open-gop",
           "--bframes", "0", "--ref", "1", "--rect", "--amp", "--temporal-mvp",
           "--tu-intra-depth", "2", "--tu-inter-depth", "2", "--ctu", str(ctu), "--min-cu-size", "8",
           "--frame-threads", "1", "--no-wpp", "--pools", "none", "--no-weightp", "--hash", "0"]
    cmd += ["--lossless"] if lossless else ["--qp", str(qp)]
    if recon:
        cmd += ["--recon", recon, "--recon-depth", str(depth)]
    if fmt == "444":
        cmd += ["--profile", "main444-8" if depth == 8 else "main444-10"]
    subprocess.run(cmd, check=True)


def encode_planes(frames, width, height, fmt="420", depth=8, fps=(10, 1), qp=24, lossless=False,
                  recon=None, loop_count=0):
    """A BPG file (bytes) from frames of planes; an animation when there
    are several frames."""
    with tempfile.TemporaryDirectory() as tmp:
        raw, hevc = os.path.join(tmp, "in.yuv"), os.path.join(tmp, "out.hevc")
        write_raw(raw, frames)
        run_x265(raw, hevc, (width, height), fps, fmt, depth, qp, lossless, len(frames), recon,
                 ctu_size(width, height))
        with open(hevc, "rb") as f:
            stream = f.read()
    sps, kept = None, []
    for nal in split_annexb(stream):
        kind = (nal[0] >> 1) & 0x3F
        if kind == 33:
            sps = parse_sps(nal)
        elif kind == 34 or kind < 32:
            kept.append(nal)
    if sps is None or (sps["chroma"], sps["depth"]) != ({"gray": 0, "420": 1, "444": 3}[fmt], depth):
        raise ValueError("x265 gave no matching SPS")
    animated = len(frames) > 1
    out = bytearray(b"BPG\xfb")
    out.append((FORMATS[fmt] << 5) | (depth - 8))
    out.append((0 << 4) | ((1 if animated else 0) << 3) | (1 if animated else 0))
    out += ue7(width) + ue7(height) + ue7(0)
    if animated:
        control = ue7(loop_count) + ue7(fps[1]) + ue7(fps[0])  # a frame lasts den / num seconds
        ext = ue7(5) + ue7(len(control)) + control
        out += ue7(len(ext)) + ext
    header = hevc_header(sps)
    out += ue7(len(header)) + header
    for i, nal in enumerate(kept):
        out += (b"" if i == 0 else b"\x00\x00\x01") + nal
    return bytes(out)


def encode_rgb(frames, width, height, fmt="420", **kw):
    return encode_planes([rgb_to_planes(f, width, height, fmt) for f in frames], width, height, fmt, **kw)


def read_png_rgb(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True).stdout.split()
    rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return rgb, int(size[0]), int(size[1])


def main():
    ap = argparse.ArgumentParser(description="Write a BPG file with the x265 encoder.")
    ap.add_argument("-o", "--output", required=True)
    ap.add_argument("-q", "--qp", type=int, default=24)
    ap.add_argument("--lossless", action="store_true")
    ap.add_argument("--444", dest="yuv444", action="store_true")
    ap.add_argument("--fps", default="10/1")
    ap.add_argument("--recon")
    ap.add_argument("frames", nargs="+")
    a = ap.parse_args()
    pictures = [read_png_rgb(p) for p in a.frames]
    width, height = pictures[0][1], pictures[0][2]
    num, den = (int(v) for v in a.fps.split("/"))
    data = encode_rgb([p[0] for p in pictures], width, height, "444" if a.yuv444 else "420",
                      fps=(num, den), qp=a.qp, lossless=a.lossless, recon=a.recon)
    with open(a.output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    sys.exit(main())
