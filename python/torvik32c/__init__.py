"""torvik32c: 3D Studio (.3ds), glTF 2.0 and OBJ files to BMF models, from Python.

    import torvik32c
    report = torvik32c.convert("house.3ds", "house.bmf", as_authored=True)
    bmf = torvik32c.convert_bytes(open("house.3ds", "rb").read())
    model = torvik32c.read_bmf("house.bmf")     # blocks with numpy arrays
    scene = torvik32c.read_3ds("house.3ds")     # meshes, materials, keyframer
    glb = torvik32c.to_gltf("house.3ds")        # the scene as authored
    report = torvik32c.convert("car.glb", "car.bmf")  # glTF and OBJ too

The BMF bytes are those 3ds2bmf writes with the same options.  Every
function releases the GIL while the library works, so threads convert
in parallel.  Errors are torvik32c.Error (torvik32c.errors).
"""

from ._native import (
    OPTIONS,
    __version__,
    convert,
    convert_bytes,
    read_3ds,
    read_bmf,
    to_gltf,
)
from .errors import *  # noqa: F401,F403
from .errors import __all__ as _errors
from .results import *  # noqa: F401,F403
from .results import __all__ as _results

__all__ = [
    "convert",
    "convert_bytes",
    "read_bmf",
    "read_3ds",
    "to_gltf",
    "OPTIONS",
    "__version__",
    *_errors,
    *_results,
]
