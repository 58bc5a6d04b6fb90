// Image files of the formats that texture decoders meet, written byte by
// byte for tests and fuzz seeds: BMP (bottom up or top down), GIF and PGM.
#pragma once

#include <cstdint>
#include <vector>

#include "tga_image.h"

namespace t3ds {

// A 24-bit BMP with a 40-byte info header; `top_down` stores the top row
// first and says so with a negative height.
std::vector<std::uint8_t> BmpBytes(const RgbImage& image, bool top_down = false);

// A BMP header alone (54 bytes, no pixels) that claims width x height.
std::vector<std::uint8_t> BmpHeaderBytes(std::int32_t width, std::int32_t height);

// A GIF of one frame in two colours: pixel (x, y) takes `second` where
// `pattern(x, y)` says so.  A logical screen of 0 x 0 gets no frame.
std::vector<std::uint8_t> GifBytes(int width, int height, Rgb first, Rgb second,
                                   bool (*pattern)(int x, int y));

// A GIF whose logical screen is `width` x `height` pixels and whose one
// frame is a single pixel of `colour` at the top left: 35 bytes that claim
// an image of any size, the rest of it the background (black).
std::vector<std::uint8_t> GifScreenBytes(int width, int height, Rgb colour);

// A baseline JPEG of `width` x `height` pixels and `components` components,
// every sample mid-grey (all coefficients 0), with an Adobe marker that
// names the colour transform (0: none, so four components are CMYK; 1:
// YCbCr; 2: YCCK) when `adobe_transform` is 0 to 2.
std::vector<std::uint8_t> JpegBytes(int width, int height, int components,
                                    int adobe_transform = -1);

// A binary PGM ("P5") of 16 bits per sample, all `level`.
std::vector<std::uint8_t> Pgm16Bytes(int width, int height, std::uint16_t level);

}  // namespace t3ds
