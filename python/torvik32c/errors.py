"""The errors torvik32c raises, and its warning category.

Every error is a torvik32c.Error with the kind of failure (as the C++
library's torvik::Error::Kind names it), the file it is about, and for a
damaged 3DS file the chunk being read and where.  They pickle, so they
cross process boundaries (Dask, multiprocessing) intact.
"""

from __future__ import annotations

from typing import Any, Optional

__all__ = [
    "Error",
    "DamagedFileError",
    "FileAccessError",
    "TooLargeError",
    "OutOfMemoryError",
    "InvalidModelError",
    "TextureError",
    "ConversionWarning",
]


class Error(Exception):
    """A conversion or a read failed.

    str(error) is "PATH: reason", the reason as 3ds2bmf prints it.

    Attributes:
        kind: "damaged_file", "cannot_open", "read_failed", "write_failed",
            "too_large", "out_of_memory", "invalid_model",
            "missing_textures", "cancelled" or "failed".
        path: the file the error is about, or None.
        chunk: damaged 3DS file: the id of the chunk being read (None
            before the first chunk, and for other errors).
        chunk_offset: damaged 3DS file: where that chunk's header starts.
        offset: damaged file: the byte offset where the problem was found.
    """

    def __init__(
        self,
        message: str,
        *,
        kind: str = "failed",
        path: Optional[str] = None,
        chunk: Optional[int] = None,
        chunk_offset: Optional[int] = None,
        offset: Optional[int] = None,
        **extra: Any,
    ) -> None:
        super().__init__(message)
        self.kind = kind
        self.path = path
        self.chunk = chunk
        self.chunk_offset = chunk_offset
        self.offset = offset
        for name, value in extra.items():
            setattr(self, name, value)

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""

    def __reduce__(self) -> Any:
        # The attributes travel in the state; the message in the arguments.
        return (type(self), (self.args[0],), dict(self.__dict__))


class DamagedFileError(Error):
    """The bytes are damaged, truncated or not of the expected format."""


class FileAccessError(Error, OSError):
    """A file could not be opened, read or written (kind says which)."""

    def __init__(self, message: str, **attributes: Any) -> None:
        Error.__init__(self, message, **attributes)


class TooLargeError(Error):
    """The model does not fit the BMF format's 16-bit fields."""


class OutOfMemoryError(Error, MemoryError):
    """A working table could not be allocated."""


class InvalidModelError(Error):
    """The scene breaks a rule every read file keeps."""


class TextureError(Error):
    """With require_textures: a texture was missing or ambiguous.

    textures lists every texture as it was found (torvik32c.Texture).
    """

    textures: list


class ConversionWarning(UserWarning):
    """What 3ds2bmf prints as a warning: a texture missing, the keyframer..."""
