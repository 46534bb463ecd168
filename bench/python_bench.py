#!/usr/bin/python3
"""The kandrel module's speed at 65,535 records, each figure beside its C++ baseline from the
same run (python_baseline): kandrel.open against the command line's open, walk() reading every
record's name and value, and setting 10,000 property values.

    python_bench [REPEATS]      (build/bin/python_bench runs this with the built module)
"""

import json
import os
import subprocess
import sys
import tempfile
import time

import kandrel

BASELINE = os.environ["KANDREL_PYTHON_BASELINE"]


def best_ms(repeats, run):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        best = min(best, (time.perf_counter() - start) * 1000)
    return best


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bench-65535.kdl")
        subprocess.run([BASELINE, "make", path], check=True)
        base = json.loads(subprocess.run([BASELINE, "measure", path, str(repeats)], check=True,
                                         capture_output=True, text=True).stdout)
        opened = best_ms(repeats, lambda: kandrel.open(path))
        doc = kandrel.open(path)
        records = len(doc)

        def walk():
            for rec in doc.walk():
                rec.name
                rec.value

        walked = best_ms(repeats, walk)
        numeric = ("BYTE", "SHORT", "INT", "FLOAT", "DOUBLE")
        props = [r for r in doc.walk() if r.kind == "property" and r.type in numeric and not r.eoc]
        props = props[:base["set_count"]]
        rounds = iter(range(1, repeats + 1))

        def set_values():
            value = str(next(rounds))
            for p in props:
                p.value = value

        settled = best_ms(repeats, set_values)

    print(f"kandrel module at {records} records, best of {repeats} (ms)")
    print(f"{'figure':<44}{'python':>10}{'baseline':>10}{'ratio':>8}  goal")
    rows = [
        ("kandrel.open vs the command line's open", opened, base["open"], "<= 1.2x baseline"),
        ("walk(), name and value of every record", walked, base["walk"], "<= 150 ms"),
        (f"set {len(props)} values", settled, base["set"], "<= 100 ms"),
    ]
    for name, py, cpp, goal in rows:
        print(f"{name:<44}{py:>10.1f}{cpp:>10.1f}{py / cpp:>7.2f}x  {goal}")


if __name__ == "__main__":
    main()
