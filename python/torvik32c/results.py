"""What torvik32c's functions return: plain dataclasses, with numpy arrays
for the tables (they print, compare by value and pickle)."""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Dict, List, Optional, Sequence, Tuple

if TYPE_CHECKING:
    import numpy as np

__all__ = [
    "Texture",
    "KeyframerEffect",
    "EmbeddedImage",
    "Conversion",
    "BmfBytes",
    "Block",
    "BmfModel",
    "Mesh",
    "Material",
    "Node",
    "Keyframer",
    "Scene",
]

Rgb = Tuple[float, float, float]
Rgba = Tuple[float, float, float, float]
Vector = Tuple[float, float, float]


@dataclass(frozen=True)
class Texture:
    """A stored texture name and the file found for it beside the model.

    rule is the resolver's rule that found it ("path", "name", "subfolder",
    "8.3", "extension", "given"); candidates lists every file it found when
    the name is ambiguous (path is the first)."""

    name: str
    path: Optional[str]
    rule: Optional[str]
    candidates: List[str] = field(default_factory=list)

    @property
    def found(self) -> bool:
        return self.path is not None

    @property
    def ambiguous(self) -> bool:
        return len(self.candidates) > 1


@dataclass(frozen=True)
class KeyframerEffect:
    """What the keyframer changes against the meshes as stored: its object
    nodes (dummies included), the instances beyond each mesh's first, and the
    meshes whose first copy it moves."""

    nodes: int
    instances: int
    moved: int


@dataclass(frozen=True)
class EmbeddedImage:
    """An image stored inside a glTF, which the BMF names by file: its
    texture name in the BMF, the plain file name it goes under beside the
    BMF, its bytes (PNG or JPEG) as stored, and path: where convert() wrote
    it (or found it there already with the same bytes), None where it is
    not (a warning says why) and from convert_bytes(), which writes none."""

    texture_name: str
    file_name: str
    data: bytes
    path: Optional[str] = None


@dataclass(frozen=True)
class Conversion:
    """What a conversion wrote and found, as 3ds2bmf -v and --json report it.

    format is the input's ("3DS", "glTF", "OBJ"), told by its content;
    instances a glTF's instances drawn beyond the first of each mesh; images
    those stored inside a glTF, which convert() writes beside the BMF under
    their file_name as 3ds2bmf does: never over a file of other contents or
    a symbolic link, which a warning names (that image's path is None)."""

    source: str
    destination: str
    blocks: int
    vertices: int
    triangles: int
    degenerate: int
    default_material: bool
    keyframer: KeyframerEffect
    reversed: int
    textures: List[Texture]
    warnings: List[str]
    format: str = "3DS"
    instances: int = 0
    images: List[EmbeddedImage] = field(default_factory=list)


class BmfBytes(bytes):
    """The BMF's bytes that convert_bytes() returns, with images: those
    stored inside a glTF (EmbeddedImage, path None), which nothing wrote.
    The BMF names them by file: put each beside it under its file_name."""

    images: List[EmbeddedImage]

    def __new__(cls, data: bytes = b"", images: Sequence[EmbeddedImage] = ()) -> BmfBytes:
        made = super().__new__(cls, data)
        made.images = list(images)
        return made

    def __reduce__(self) -> Tuple[type, Tuple[bytes, List[EmbeddedImage]]]:
        return (BmfBytes, (bytes(self), self.images))


@dataclass(eq=False)
class Block:
    """One BMF block: a material and its own vertex and triangle tables.

    vertices is the (V, 8) float32 table as stored (u v i j k x y z);
    positions, normals and uvs are views of it.  indices is the (T, 3)
    uint16 table of triangles, indices into this block's vertices."""

    texture: str
    ambient: Rgba
    diffuse: Rgba
    specular: Rgba
    vertices: np.ndarray
    indices: np.ndarray

    @property
    def positions(self) -> np.ndarray:
        return self.vertices[:, 5:8]

    @property
    def normals(self) -> np.ndarray:
        return self.vertices[:, 2:5]

    @property
    def uvs(self) -> np.ndarray:
        return self.vertices[:, 0:2]


@dataclass(eq=False)
class BmfModel:
    """A BMF file taken apart: its blocks, its header's strip flag, the bytes
    after its last block, every layout rule it breaks (empty for a valid
    file) and, read from a path, its textures found beside it."""

    blocks: List[Block]
    strip_flag: int
    trailing_bytes: int
    violations: List[str]
    textures: List[Texture]

    @property
    def vertex_count(self) -> int:
        return sum(len(block.vertices) for block in self.blocks)

    @property
    def triangle_count(self) -> int:
        return sum(len(block.indices) for block in self.blocks)


@dataclass(eq=False)
class Mesh:
    """One 3DS mesh as stored, in the file's axes (z up).

    positions (V, 3) and uvs (M, 2; M may be below V, or 0) are float32;
    indices (F, 3) and face_flags (F,) are uint16 views of one face table;
    smoothing_groups (F,) uint32 or None; material_groups maps each material
    name to the uint16 indices of its faces; matrix is the (4, 3) local axes
    and origin, or None."""

    name: str
    positions: np.ndarray
    uvs: np.ndarray
    indices: np.ndarray
    face_flags: np.ndarray
    smoothing_groups: Optional[np.ndarray]
    material_groups: Dict[str, np.ndarray]
    matrix: Optional[np.ndarray]


@dataclass(frozen=True)
class Material:
    """A 3DS material: colours in [0, 1], the texture name as stored ("" for
    none) and the transparency the conversion takes (alpha)."""

    name: str
    ambient: Rgb
    diffuse: Rgb
    specular: Rgb
    two_sided: bool
    texture: str
    alpha: float


@dataclass(frozen=True)
class Node:
    """A keyframer node as stored: its chunk (kind; 0xB002 for an object),
    id, the object it names (or "$$$DUMMY"), its instance name, its parent's
    id (None for a root), pivot, and each track's first key (None when the
    node has no such track; rotation is (angle in radians, axis))."""

    kind: int
    id: int
    name: str
    instance: str
    parent: Optional[int]
    pivot: Vector
    position: Optional[Vector]
    rotation: Optional[Tuple[float, Vector]]
    scale: Optional[Vector]


@dataclass(frozen=True)
class Keyframer:
    """The keyframer: its nodes, what it changes, why part of it was ignored,
    and whether the meshes were drawn where it places them (applied)."""

    nodes: List[Node]
    effect: KeyframerEffect
    warnings: List[str]
    applied: bool


@dataclass(eq=False)
class Scene:
    """A 3DS file read: its meshes, materials, textures found and keyframer."""

    meshes: List[Mesh]
    materials: List[Material]
    textures: List[Texture]
    keyframer: Keyframer
