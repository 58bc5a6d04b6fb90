// A software renderer for previews of BMF models: the model fitted to a
// square frame, seen from a camera turned by yaw and raised by pitch, each
// block in its diffuse colour or its texture (placed, and seen through, as
// the material says) lit by the stored vertex normals, with a z-buffer and
// back faces striped red.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "torvik32c/bmf_reader.h"
#include "torvik32c/material_maps.h"

struct PreviewOptions {
  int size = 512;             // width and height in pixels
  double yaw_degrees = 30;    // around the up axis; positive looks from the right
  double pitch_degrees = 25;  // positive looks from above
};

struct Rgb8 {
  std::uint8_t r, g, b;
  bool operator==(const Rgb8&) const = default;
};

// What the frame shows where there is no model.
inline constexpr Rgb8 kPreviewBackground{46, 52, 64};

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb8> pixels;  // rows from the top, left to right
  // One opacity per pixel (255: opaque), or none for an opaque image.
  std::vector<std::uint8_t> alpha;

  Rgb8 At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// How a block's texture lies on its faces and shows what is behind it, as
// the scene glTF draws its material (material_maps.h, base_colour.h).
struct PreviewSurface {
  // Where the texture is sampled for the stored texture coordinates.
  torvik::TexturePlacement placement;
  torvik::MapWrap wrap = torvik::MapWrap::repeat;
  // The material's opacity, for a texture without alpha or no texture.
  float opacity = 1;
  // A texture's alpha blends; otherwise it cuts out where it is below 1/2.
  bool blend_alpha = false;
};

// Renders the file's triangles; triangles with an index outside their
// block's vertex table are skipped.  The BMF axes are x to the right, y up
// and z away from a viewer at yaw 0 and pitch 0.
//
// `textures` holds for each block the image it is drawn with, or null for
// its diffuse colour (so do blocks past its end).  A texture takes the place
// of the diffuse colour: sampled bilinearly at the vertices' u and v
// (placed as the block's surface says, repeating beyond 0 to 1 unless it
// says otherwise), with v = 0 at the image's bottom row.  `surfaces` holds
// for each block how its texture lies and what shows through it (none:
// as stored, opaque).  Opaque blocks are drawn first, then the triangles
// that let the others show through, from the farthest to the nearest.
Image RenderPreview(const torvik::BmfFile& file, const PreviewOptions& options = {},
                    std::span<const Image* const> textures = {},
                    std::span<const PreviewSurface> surfaces = {});
