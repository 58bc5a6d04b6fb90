#!/usr/bin/env python3
"""Converts a library of .3ds files into BMF files with Dask: one task per
file, and a summary of the failures at the end.

    python3 convert_library.py MODELS OUTPUT [--as-authored] [--scheduler ADDRESS]

Every .3ds file under MODELS (in any case, subfolders included) becomes a
.bmf at the same place under OUTPUT; a file that fails is listed with its
reason and leaves no output.  Exit status 0 when every file converted, 1
when any failed.

Where it runs:
- Here, by default: dask.bag runs the tasks on a pool of threads.
  torvik32c releases the GIL while it converts, so the threads use every
  core ("--scheduler processes" uses processes instead).
- On a cluster: start a scheduler ("dask scheduler") and workers on
  machines that see MODELS and OUTPUT at the same paths ("dask worker
  tcp://HOST:8786", each with torvik32c installed), then pass
  "--scheduler tcp://HOST:8786".  The same code then runs through a
  dask.distributed Client (python3-distributed), which sends the tasks to
  the workers.
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path
from typing import Any, Dict, List, Optional, Sequence

import dask.bag

import torvik32c


def convert_one(job: Dict[str, Any]) -> Dict[str, Any]:
    """One task: converts one file; a failure is a result, not an error, so
    that one damaged file does not stop the others."""
    Path(job["dest"]).parent.mkdir(parents=True, exist_ok=True)
    try:
        report = torvik32c.convert(job["src"], job["dest"], **job["options"])
    except torvik32c.Error as error:
        return {"src": job["src"], "ok": False, "kind": error.kind, "error": str(error)}
    return {"src": job["src"], "ok": True, "triangles": report.triangles,
            "warnings": report.warnings}


def find_models(models: Path) -> List[Path]:
    return sorted(p for p in models.rglob("*") if p.suffix.lower() == ".3ds" and p.is_file())


def convert_library(models: Path, output: Path, options: Optional[Dict[str, Any]] = None,
                    scheduler: str = "threads") -> List[Dict[str, Any]]:
    """Converts every .3ds file under `models` into `output`; returns one
    result per file, in the files' order.  `scheduler` is a local Dask
    scheduler ("threads", "processes", "sync") or, for a cluster, the
    address of a Dask scheduler."""
    jobs = [{"src": str(src), "dest": str((output / src.relative_to(models)).with_suffix(".bmf")),
             "options": options or {}} for src in find_models(models)]
    if not jobs:
        return []
    bag = dask.bag.from_sequence(jobs, partition_size=1)
    if "://" in scheduler:
        from dask.distributed import Client  # python3-distributed

        with Client(scheduler):
            return bag.map(convert_one).compute()
    return bag.map(convert_one).compute(scheduler=scheduler)


def summary(results: Sequence[Dict[str, Any]]) -> str:
    """'12 files: 11 converted, 1 failed', then each failure and its reason."""
    failed = [r for r in results if not r["ok"]]
    lines = [f"{len(results)} files: {len(results) - len(failed)} converted, {len(failed)} failed"]
    lines += [f"  {r['error']} ({r['kind']})" for r in failed]
    return "\n".join(lines)


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("models", type=Path)
    parser.add_argument("output", type=Path)
    parser.add_argument("--as-authored", action="store_true",
                        help="the keyframer's placement, the file's winding, smoothing groups")
    parser.add_argument("--scheduler", default="threads",
                        help="threads (default), processes, sync, or a Dask scheduler's address")
    args = parser.parse_args(argv)
    results = convert_library(args.models, args.output, {"as_authored": args.as_authored},
                              args.scheduler)
    for result in results:
        for warning in result.get("warnings", []):
            print(f"warning: {warning}", file=sys.stderr)
    print(summary(results))
    return 0 if all(r["ok"] for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
