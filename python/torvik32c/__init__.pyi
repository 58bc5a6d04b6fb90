# Type stubs of torvik32c: the native functions' signatures, options
# included (tests check that they list the options the module takes).
import os
from typing import Dict, Mapping, Optional, Sequence, Tuple, Union

from .errors import ConversionWarning as ConversionWarning
from .errors import DamagedFileError as DamagedFileError
from .errors import Error as Error
from .errors import FileAccessError as FileAccessError
from .errors import InvalidModelError as InvalidModelError
from .errors import OutOfMemoryError as OutOfMemoryError
from .errors import TextureError as TextureError
from .errors import TooLargeError as TooLargeError
from .results import BmfModel as BmfModel
from .results import Block as Block
from .results import Conversion as Conversion
from .results import EmbeddedImage as EmbeddedImage
from .results import BmfBytes as BmfBytes
from .results import Keyframer as Keyframer
from .results import KeyframerEffect as KeyframerEffect
from .results import Material as Material
from .results import Mesh as Mesh
from .results import Node as Node
from .results import Scene as Scene
from .results import Texture as Texture

_Path = Union[str, os.PathLike[str]]
# convert() takes a path's bytes too (os.fsencode's): its arguments are never data.
_AnyPath = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
_Bytes = Union[bytes, bytearray, memoryview]

__version__: str
OPTIONS: Dict[str, Tuple[str, ...]]

def convert(
    src: _AnyPath,
    dest: _AnyPath,
    *,
    keyframer: bool = ...,
    keep_file_winding: bool = ...,
    smoothing_groups: bool = ...,
    as_authored: bool = ...,
    orient_outward: bool = ...,
    file_normals: bool = ...,
    max_placed_faces: int = ...,
    texture_paths: Sequence[_Path] = ...,
    textures: Mapping[str, _Path] = ...,
    require_textures: bool = ...,
    threads: int = ...,
    name_encoding: str = ...,
) -> Conversion: ...
def convert_bytes(
    data: _Bytes,
    *,
    model_path: Optional[_Path] = ...,
    files: Optional[Mapping[str, _Bytes]] = ...,
    keyframer: bool = ...,
    keep_file_winding: bool = ...,
    smoothing_groups: bool = ...,
    as_authored: bool = ...,
    orient_outward: bool = ...,
    file_normals: bool = ...,
    max_placed_faces: int = ...,
    texture_paths: Sequence[_Path] = ...,
    textures: Mapping[str, _Path] = ...,
    require_textures: bool = ...,
    threads: int = ...,
    name_encoding: str = ...,
) -> BmfBytes: ...
def to_gltf(
    src: Union[_Path, _Bytes],
    *,
    model_path: Optional[_Path] = ...,
    files: Optional[Mapping[str, _Bytes]] = ...,
    orient_outward: bool = ...,
    texture_paths: Sequence[_Path] = ...,
    textures: Mapping[str, _Path] = ...,
    fps: int = ...,
    threads: int = ...,
    name_encoding: str = ...,
) -> bytes: ...
def read_bmf(path_or_bytes: Union[_Path, _Bytes], *, name_encoding: str = ...) -> BmfModel: ...
def read_3ds(
    src: Union[_Path, _Bytes],
    *,
    model_path: Optional[_Path] = ...,
    keyframer: bool = ...,
    keep_file_winding: bool = ...,
    as_authored: bool = ...,
    orient_outward: bool = ...,
    max_placed_faces: int = ...,
    texture_paths: Sequence[_Path] = ...,
    textures: Mapping[str, _Path] = ...,
    threads: int = ...,
    name_encoding: str = ...,
) -> Scene: ...
