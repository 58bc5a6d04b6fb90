"""The Dask recipe on the local schedulers: every file converted as 3ds2bmf
converts it, the failures summarised, the exit status."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import torvik32c

sys.path.insert(0, str(Path(__file__).parent))
import convert_library  # noqa: E402

SAMPLES = Path(os.environ.get("TORVIK_SAMPLES", Path(__file__).parents[2] / "samples"))


def make_library(root):
    models = root / "models"
    (models / "sub").mkdir(parents=True)
    for name in ("sample.3ds", "gate.3ds", "crate.3ds"):
        shutil.copy(SAMPLES / name, models / name)
    shutil.copy(SAMPLES / "smoothing.3ds", models / "sub" / "SMOOTHING.3DS")
    (models / "sub" / "broken.3ds").write_bytes((SAMPLES / "sample.3ds").read_bytes()[:300])
    (models / "notes.txt").write_text("not a model")
    return models


def test_the_recipe_converts_a_library(tmp_path):
    models = make_library(tmp_path)
    run = subprocess.run([sys.executable, str(Path(convert_library.__file__)), str(models),
                          str(tmp_path / "out"), "--as-authored"], capture_output=True, text=True)
    assert run.returncode == 1, run.stderr
    lines = run.stdout.splitlines()
    assert lines[0] == "5 files: 4 converted, 1 failed"
    assert "broken.3ds: " in lines[1] and lines[1].endswith("(damaged_file)")
    for src in ("sample.3ds", "gate.3ds", "crate.3ds", "sub/SMOOTHING.3DS"):
        written = (tmp_path / "out" / src).with_suffix(".bmf").read_bytes()
        assert written == torvik32c.convert_bytes((models / src).read_bytes(), as_authored=True)
    assert not (tmp_path / "out" / "sub" / "broken.bmf").exists()


def test_processes_give_the_same_results(tmp_path):
    models = make_library(tmp_path)
    threads = convert_library.convert_library(models, tmp_path / "a", scheduler="threads")
    processes = convert_library.convert_library(models, tmp_path / "b", scheduler="processes")
    strip = lambda results: [{k: v for k, v in r.items() if k != "warnings"} for r in results]
    assert strip(threads) == strip([{**r, "src": r["src"]} for r in processes])
    assert convert_library.summary(processes).startswith("5 files: 4 converted, 1 failed")
