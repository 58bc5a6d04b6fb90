#!/usr/bin/env python3
"""The Python module's convert against the command line on one model.

    PYTHONPATH=build/release/python python3 bench/python_convert.py \\
        --3ds2bmf build/release/3ds2bmf --make-preset build/release/generator/make_preset [--reps 7]

Times (wall clock, and CPU time over all threads, which a busy machine
disturbs less), as medians of --reps runs of each: `3ds2bmf -q -o OUT MODEL` (a new
process each time, as a script shelling out pays it), torvik32c.convert
(file to file, in process) and convert_bytes (bytes in memory to bytes),
each with the default threads and with threads=1; then four conversions
on four Python threads against the same four one after another with
threads=1 (the GIL released: the threads share the cores).  The model is
the `large` preset unless --model names another.  Checks that every
output has 3ds2bmf's bytes.  The machine should be otherwise idle.
"""

import argparse
import resource
import statistics
import subprocess
import tempfile
import threading
import time
from pathlib import Path

import torvik32c


def cpu_seconds():
    """This process's CPU time (all its threads) and its finished children's."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def median_seconds(reps, work):
    """The medians of the wall-clock and the CPU time of `work`."""
    wall, cpu = [], []
    for _ in range(reps):
        start, start_cpu = time.perf_counter(), cpu_seconds()
        work()
        wall.append(time.perf_counter() - start)
        cpu.append(cpu_seconds() - start_cpu)
    return statistics.median(wall), statistics.median(cpu)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--3ds2bmf", dest="cli", required=True)
    parser.add_argument("--make-preset")
    parser.add_argument("--model", type=Path)
    parser.add_argument("--reps", type=int, default=7)
    args = parser.parse_args()
    folder = Path(tempfile.mkdtemp(prefix="torvik-pybench-"))
    model = args.model
    if model is None:
        model = folder / "large.3ds"
        subprocess.run([args.make_preset, "large", model], check=True)
    data = model.read_bytes()
    expected = folder / "cli.bmf"
    subprocess.run([args.cli, "-q", "-o", expected, model], check=True)
    reference = expected.read_bytes()
    out = folder / "python.bmf"
    rows = []
    for label, threads in (("default threads", None), ("threads=1", 1)):
        options = {} if threads is None else {"threads": threads}
        flags = [] if threads is None else ["--threads", str(threads)]
        cli = median_seconds(args.reps, lambda: subprocess.run(
            [args.cli, "-q", *flags, "-o", expected, model], check=True))
        convert = median_seconds(args.reps, lambda: torvik32c.convert(model, out, **options))
        assert out.read_bytes() == reference
        in_memory = median_seconds(args.reps, lambda: torvik32c.convert_bytes(data, **options))
        assert torvik32c.convert_bytes(data, **options) == reference
        rows.append((label, cli, convert, in_memory))

    def four_on_threads():
        workers = [threading.Thread(target=torvik32c.convert_bytes, args=(data,),
                                    kwargs={"threads": 1}) for _ in range(4)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()

    sequential = median_seconds(args.reps, lambda: [torvik32c.convert_bytes(data, threads=1)
                                                    for _ in range(4)])[0]
    parallel = median_seconds(args.reps, four_on_threads)[0]
    print(f"{model.name}: {len(data) / 1e6:.1f} MB, BMF {len(reference) / 1e6:.1f} MB, "
          f"median of {args.reps}")
    print(f"{'wall (CPU) ms':16} {'3ds2bmf':>13} {'convert':>13} {'convert_bytes':>13}")
    for label, *figures in rows:
        print(f"{label:16} " + " ".join(f"{w * 1e3:6.0f} ({c * 1e3:4.0f})" for w, c in figures))
    print(f"4 x convert_bytes(threads=1): one after another {sequential * 1e3:.0f} ms, "
          f"on 4 Python threads {parallel * 1e3:.0f} ms ({sequential / parallel:.2f}x)")


if __name__ == "__main__":
    main()
