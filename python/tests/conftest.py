"""What the Python module's tests compare against: this build's 3ds2bmf,
bmftool and make_preset, and the samples, named by the environment that
CTest sets (python/CMakeLists.txt)."""

import os
import subprocess
from pathlib import Path

import pytest


def _tool(variable):
    path = os.environ.get(variable)
    if not path or not Path(path).exists():
        pytest.skip(f"{variable} is not set: run the tests through ctest")
    return path


@pytest.fixture(scope="session")
def samples():
    return Path(os.environ.get("TORVIK_SAMPLES", Path(__file__).parents[2] / "samples"))


@pytest.fixture(scope="session")
def cli():
    """Runs 3ds2bmf with the arguments given; returns the finished process."""
    program = _tool("TORVIK_3DS2BMF")

    def run(*args, check=True):
        return subprocess.run([program, *map(str, args)], capture_output=True, text=True,
                              check=check)

    return run


@pytest.fixture(scope="session")
def bmftool():
    program = _tool("TORVIK_BMFTOOL")
    return lambda *args: subprocess.run([program, *map(str, args)], capture_output=True,
                                        text=True, check=True)


@pytest.fixture(scope="session")
def presets(tmp_path_factory):
    """The generated presets small and medium (large is the benchmark's)."""
    program = _tool("TORVIK_MAKE_PRESET")
    folder = tmp_path_factory.mktemp("presets")
    made = []
    for name in ("small", "medium"):
        subprocess.run([program, name, folder / f"{name}.3ds"], check=True)
        made.append(folder / f"{name}.3ds")
    return made
