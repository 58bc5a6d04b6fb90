// A software renderer for previews of BMF models: the model fitted to a
// square frame, seen from a camera turned by yaw and raised by pitch, each
// block in its diffuse colour or its texture lit by the stored vertex
// normals, with a z-buffer and back faces striped red.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "torvik32c/bmf_reader.h"

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

  Rgb8 At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Renders the file's triangles; triangles with an index outside their
// block's vertex table are skipped.  The BMF axes are x to the right, y up
// and z away from a viewer at yaw 0 and pitch 0.
//
// `textures` holds for each block the image it is drawn with, or null for
// its diffuse colour (so do blocks past its end).  A texture takes the place
// of the diffuse colour: sampled bilinearly at the vertices' u and v,
// repeating beyond 0 to 1, with v = 0 at the image's bottom row.
Image RenderPreview(const torvik::BmfFile& file, const PreviewOptions& options = {},
                    std::span<const Image* const> textures = {});
