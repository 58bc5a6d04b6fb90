// A PNG file's chunks, walked end to end before any decoding, so that every
// build (libpng natively, stb_image elsewhere) refuses the same files, and
// the glTF export knows which files viewers read as they are.
#pragma once

#include <cstdint>
#include <span>

namespace torvik::images {

// Walks the chunks after the signature.  Throws ImageError ("damaged image
// (PNG: ...)") when a chunk runs past the end of the file, has a type that
// is not four ASCII letters, is a critical chunk that PNG does not define or
// has a CRC that does not match its data, or when there is no IEND chunk.
// Returns whether the file is also well formed: every ancillary chunk's CRC
// matches and nothing follows IEND.  A file that is damaged only there still
// decodes (its ancillary chunks are skipped), but is not passed on as it is.
bool CheckPngChunks(std::span<const std::uint8_t> bytes);

}  // namespace torvik::images
