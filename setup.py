"""Builds the native part of the Python module torvik32c with CMake, for the
Python that runs this (pyproject.toml has the package's metadata).

The CMake build goes into build/python-package/ under the source tree, or
into the folder that TORVIK_PYTHON_BUILD_DIR names; CMAKE_BUILD_PARALLEL_LEVEL
sets its jobs (default: the processors), and CMAKE_CXX_COMPILER_LAUNCHER (such
as ccache) is passed on to CMake as CMake reads it from the environment."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(torvik32c VERSION ([0-9.]+)", text).group(1)


def build_folder():
    given = os.environ.get("TORVIK_PYTHON_BUILD_DIR")
    return Path(given).resolve() if given else ROOT / "build" / "python-package"


def pybind11_cmake_folder():
    """pybind11's CMake package as this Python has it (pip's), else none:
    CMake then finds the system's (Debian's pybind11-dev)."""
    try:
        import pybind11
    except ImportError:
        return None
    return pybind11.get_cmake_dir()


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        cmake = shutil.which("cmake")
        if cmake is None:
            sys.exit("torvik32c: building it needs CMake 3.25 or later (scripts/setup.sh installs it)")
        build = build_folder() / f"cmake-{sys.implementation.cache_tag}"
        configure = [
            cmake, "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DTORVIK_BUILD_PYTHON=ON",
            "-DTORVIK_BUILD_TOOLS=OFF",
            "-DTORVIK_BUILD_TESTS=OFF",
            "-DTORVIK_INSTALL=OFF",
        ]
        found = pybind11_cmake_folder()
        if found:
            configure.append(f"-Dpybind11_DIR={found}")
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        self.announce_step("configuring the build", configure)
        subprocess.run(configure, check=True)
        compile_ = [cmake, "--build", str(build), "--target", "torvik32c_python", "-j", jobs]
        self.announce_step("building the library and the module", compile_)
        subprocess.run(compile_, check=True)
        built = list((build / "python" / "torvik32c").glob("_native*"))
        if len(built) != 1:
            sys.exit(f"torvik32c: the build made {len(built)} native modules in {build}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)

    @staticmethod
    def announce_step(what, command):
        print(f"torvik32c: {what}: {' '.join(command)}", flush=True)


# setuptools' own folders (what it builds, the egg-info) go beside the CMake
# build, not into the source tree.
folder = build_folder()
setup(
    version=project_version(),
    ext_modules=[CMakeExtension("torvik32c._native")],
    cmdclass={"build_ext": CMakeBuild},
    options={
        "build": {"build_base": str(folder / "setuptools")},
        "egg_info": {"egg_base": str(folder)},
    },
)
