#!/usr/bin/env python3
"""Evaluator / plain C++ time ratios of bench_expression, robust to a
machine whose speed drifts (a shared or virtual machine can run the same
binary 1.5 times slower a minute later when its neighbours get busy).

Every binary runs once per round, rounds interleaved, so a slow minute hits
every binary alike; each figure is the median over the rounds, and each
ratio is taken inside one run (both sides seconds apart) before its median.

  tools/expression_ratios.py [--rounds 5] [--layouts 16,32,48] [--formulas sin_cos|loop]
                             [binary ...]

--layouts relinks build/bench/bench_expression with that many bytes of
padding in front of its code (the same objects, every function moved), to
show whether a figure depends on where the code happens to land. Pin it:
  taskset -c 7 tools/expression_ratios.py --layouts 0,24,40
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH_DIR = os.path.join(ROOT, "build", "bench")


def relinked(padding, workdir):
    """bench_expression linked with `padding` bytes before the bench object."""
    asm = os.path.join(workdir, f"pad{padding}.s")
    obj = os.path.join(workdir, f"pad{padding}.o")
    out = os.path.join(workdir, f"bench_expression_pad{padding}")
    with open(asm, "w") as f:
        f.write(f".text\n.skip {padding}, 0x90\n.section .note.GNU-stack,\"\",@progbits\n")
    subprocess.run(["as", asm, "-o", obj], check=True)
    with open(os.path.join(BENCH_DIR, "CMakeFiles", "bench_expression.dir", "link.txt")) as f:
        command = f.read().split()
    first = next(i for i, word in enumerate(command) if word.endswith(".o"))
    command.insert(first, obj)
    command[command.index("-o") + 1] = out
    subprocess.run(command, check=True, cwd=BENCH_DIR)
    return out


def run_once(binary, formulas):
    """{benchmark name: ns per iteration} of one run."""
    result = subprocess.run([binary, "--benchmark_format=json", f"--benchmark_filter=Formula/({formulas})$"],
                            check=True, capture_output=True, text=True)
    return {b["name"]: b["cpu_time"] for b in json.loads(result.stdout)["benchmarks"]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--layouts", default="")
    parser.add_argument("--formulas", default=".*", help="regular expression of the formula names")
    parser.add_argument("binaries", nargs="*")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="expression_ratios_") as workdir:
        report(args, workdir)
    return 0


def report(args, workdir):
    binaries = list(args.binaries)
    for padding in filter(None, args.layouts.split(",")):
        binaries.append(relinked(int(padding), workdir))
    if not binaries:
        binaries = [os.path.join(BENCH_DIR, "bench_expression")]
    runs = {b: [] for b in binaries}
    for _ in range(args.rounds):
        for b in binaries:
            runs[b].append(run_once(b, args.formulas))
    for b in binaries:
        print(f"{os.path.basename(b)} (median of {args.rounds})")
        print(f"  {'formula':12} {'evaluator':>10} {'plain':>10} {'ratio':>7}")
        names = [n.split("/")[1] for n in runs[b][0] if n.startswith("EvaluateFormula/")]
        for name in names:
            evaluated = [r[f"EvaluateFormula/{name}"] for r in runs[b]]
            plain = [r[f"PlainFormula/{name}"] for r in runs[b]]
            ratios = [e / p for e, p in zip(evaluated, plain)]
            print(f"  {name:12} {statistics.median(evaluated):8.2f}ns {statistics.median(plain):8.2f}ns "
                  f"{statistics.median(ratios):6.2f}x  (ratios {min(ratios):.2f}..{max(ratios):.2f})")


if __name__ == "__main__":
    sys.exit(main())
