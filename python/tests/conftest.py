"""What the Python module's tests compare against: this build's 3ds2bmf,
bmftool, make_preset and make_models, the samples and the corpus, named by
the environment that CTest sets (tests/python/CMakeLists.txt)."""

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


@pytest.fixture(scope="session")
def generated_models(tmp_path_factory):
    """The models every build must write alike (tests/windows/make_models),
    with their images: among them every kind of map, in JPEG and PNG."""
    program = _tool("TORVIK_MAKE_MODELS")
    folder = tmp_path_factory.mktemp("models")
    subprocess.run([program, folder], check=True)
    return sorted(folder.glob("*.3ds"))


@pytest.fixture(scope="session")
def corpus():
    """The real models of the shared corpus, when there is one."""
    folder = Path(os.environ.get("TORVIK_CORPUS_DIR", ""))
    if not folder.is_dir():
        return []
    return sorted(p for p in folder.iterdir() if p.suffix.lower() == ".3ds")
