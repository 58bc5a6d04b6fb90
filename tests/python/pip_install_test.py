"""pip builds and installs the Python module for another interpreter than
the one the project was configured with: a venv made from Debian's Python
(--system-site-packages, for its numpy and pybind11), offline
(--no-build-isolation --no-index), whose installed module then converts the
sample to the bytes of this build's 3ds2bmf.

    python3 pip_install_test.py SOURCE_DIR 3DS2BMF

Exits 77 (CTest's skip) saying why when the interpreter can't make such a
venv (no venv, ensurepip, setuptools or wheel) or lacks numpy."""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

SKIP = 77


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


def run(*command, **options):
    print("+", " ".join(map(str, command)), flush=True)
    return subprocess.run(list(map(str, command)), check=True, **options)


def main():
    source, cli = Path(sys.argv[1]), sys.argv[2]
    for module in ("venv", "ensurepip", "setuptools", "wheel", "numpy"):
        probe = subprocess.run([sys.executable, "-c", f"import {module}"], capture_output=True)
        if probe.returncode != 0:
            skip(f"{sys.executable} has no {module} (scripts/setup-python.sh installs it)")
    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        venv = folder / "venv"
        run(sys.executable, "-m", "venv", "--system-site-packages", venv)
        python = venv / "bin" / "python"
        environment = {**os.environ,
                       "TORVIK_PYTHON_BUILD_DIR": str(folder / "build"),
                       "PIP_DISABLE_PIP_VERSION_CHECK": "1",
                       "PYTHONDONTWRITEBYTECODE": "1"}
        run(python, "-m", "pip", "install", "--no-build-isolation", "--no-index", source,
            env=environment)
        # Nothing of the build was left in the source tree.
        assert not (source / "python" / "torvik32c.egg-info").exists()
        expected = folder / "cli.bmf"
        run(cli, "-q", "-o", expected, source / "samples" / "sample.3ds")
        check = (
            "import sys, torvik32c\n"
            "assert torvik32c.__file__.startswith(sys.prefix), torvik32c.__file__\n"
            "report = torvik32c.convert(sys.argv[1], sys.argv[2])\n"
            "assert open(sys.argv[2], 'rb').read() == open(sys.argv[3], 'rb').read()\n"
            "assert torvik32c.to_gltf(sys.argv[1])[:4] == b'glTF'\n"
            "print('installed torvik32c', torvik32c.__version__, 'converts as 3ds2bmf:',\n"
            "      report.triangles, 'triangles')\n")
        # Run from elsewhere than the source tree, so that the installed
        # module is the one imported.
        run(python, "-c", check, source / "samples" / "sample.3ds", folder / "python.bmf", expected,
            cwd=folder, env=environment)


if __name__ == "__main__":
    main()
