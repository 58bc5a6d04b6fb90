#include "map_images.h"

#include <algorithm>
#include <cmath>

namespace torvik::images {

namespace {

std::size_t PixelCount(std::uint32_t width, std::uint32_t height) {
  return std::size_t{width} * height;
}

// `at` reduced to [0, size) as the wrap says.
std::int64_t WrappedIndex(std::int64_t at, std::int64_t size, EdgeWrap wrap) {
  switch (wrap) {
    case EdgeWrap::repeat:
      return ((at % size) + size) % size;
    case EdgeWrap::mirror: {
      const std::int64_t period = 2 * size;
      const std::int64_t in_period = ((at % period) + period) % period;
      return in_period < size ? in_period : period - 1 - in_period;
    }
    case EdgeWrap::clamp:
      break;
  }
  return std::clamp<std::int64_t>(at, 0, size - 1);
}

std::uint8_t RoundedByte(double value) {
  if (!(value > 0)) return 0;
  if (value >= 255) return 255;
  return static_cast<std::uint8_t>(value + 0.5);
}

}  // namespace

ValueImage MapValues(const DecodedImage& image, bool from_alpha, bool negative) {
  ValueImage result{image.width, image.height, {}};
  const std::size_t count = PixelCount(image.width, image.height);
  result.values.resize(count);
  const int channels = image.channels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* pixel = &image.pixels[i * static_cast<std::size_t>(channels)];
    unsigned value = 255;
    if (!from_alpha)
      value = (299u * pixel[0] + 587u * pixel[1] + 114u * pixel[2] + 500u) / 1000u;
    else if (channels == 4)
      value = pixel[3];
    result.values[i] = static_cast<std::uint8_t>(negative ? 255 - value : value);
  }
  return result;
}

namespace {

// Bilinear resampling of `channels` interleaved channels, rows from the top.
std::vector<std::uint8_t> ResampledChannels(const std::uint8_t* pixels, std::uint32_t source_width,
                                            std::uint32_t source_height, std::size_t channels,
                                            std::uint32_t width, std::uint32_t height,
                                            EdgeWrap wrap_x, EdgeWrap wrap_y) {
  std::vector<std::uint8_t> result(PixelCount(width, height) * channels);
  const auto source_w = static_cast<std::int64_t>(source_width);
  const auto source_h = static_cast<std::int64_t>(source_height);
  const double scale_x = static_cast<double>(source_width) / width;
  const double scale_y = static_cast<double>(source_height) / height;
  std::size_t out = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    const double sy = (y + 0.5) * scale_y - 0.5;
    const double fy_low = std::floor(sy);
    const double fy = sy - fy_low;
    const auto y0 = static_cast<std::int64_t>(fy_low);
    const std::int64_t rows[2] = {WrappedIndex(y0, source_h, wrap_y),
                                  WrappedIndex(y0 + 1, source_h, wrap_y)};
    for (std::uint32_t x = 0; x < width; ++x) {
      const double sx = (x + 0.5) * scale_x - 0.5;
      const double fx_low = std::floor(sx);
      const double fx = sx - fx_low;
      const auto x0 = static_cast<std::int64_t>(fx_low);
      const std::int64_t columns[2] = {WrappedIndex(x0, source_w, wrap_x),
                                       WrappedIndex(x0 + 1, source_w, wrap_x)};
      for (std::size_t c = 0; c < channels; ++c) {
        const auto at = [&](int r, int k) {
          return static_cast<double>(
              pixels[static_cast<std::size_t>(rows[r] * source_w + columns[k]) * channels + c]);
        };
        const double value = (1 - fy) * ((1 - fx) * at(0, 0) + fx * at(0, 1)) +
                             fy * ((1 - fx) * at(1, 0) + fx * at(1, 1));
        result[out++] = RoundedByte(value);
      }
    }
  }
  return result;
}

std::uint32_t RoundedUpTo16(std::uint32_t side) { return (side + 15) / 16 * 16; }

}  // namespace

ValueImage Resampled(const ValueImage& image, std::uint32_t width, std::uint32_t height,
                     EdgeWrap wrap_x, EdgeWrap wrap_y) {
  if (image.width == width && image.height == height) return image;
  return {width, height,
          ResampledChannels(image.values.data(), image.width, image.height, 1, width, height,
                            wrap_x, wrap_y)};
}

DecodedImage Resampled(const DecodedImage& image, std::uint32_t width, std::uint32_t height,
                       EdgeWrap wrap_x, EdgeWrap wrap_y) {
  if (image.width == width && image.height == height) return image;
  return {
      width, height, image.channels,
      ResampledChannels(image.pixels.data(), image.width, image.height,
                        static_cast<std::size_t>(image.channels), width, height, wrap_x, wrap_y)};
}

std::uint64_t FramedSide(std::uint64_t side) {
  const std::uint64_t inner = (side + 15) / 16 * 16;
  return inner + inner / 8;
}

DecodedImage Framed(const DecodedImage& image, std::array<std::uint8_t, 4> outside) {
  const std::uint32_t inner_w = RoundedUpTo16(image.width), inner_h = RoundedUpTo16(image.height);
  DecodedImage resized;
  const DecodedImage* inner = &image;
  if (inner_w != image.width || inner_h != image.height) {
    resized = Resampled(image, inner_w, inner_h, EdgeWrap::clamp, EdgeWrap::clamp);
    inner = &resized;
  }
  const auto channels = static_cast<std::size_t>(image.channels);
  DecodedImage result{static_cast<std::uint32_t>(FramedSide(image.width)),
                      static_cast<std::uint32_t>(FramedSide(image.height)),
                      image.channels,
                      {}};
  result.pixels.resize(PixelCount(result.width, result.height) * channels);
  for (std::size_t i = 0; i < result.pixels.size(); i += channels)
    std::copy_n(outside.begin(), channels, result.pixels.begin() + static_cast<std::ptrdiff_t>(i));
  const std::size_t left = inner_w / 16, top = inner_h / 16;
  const std::size_t row_bytes = std::size_t{inner_w} * channels;
  for (std::size_t y = 0; y < inner_h; ++y)
    std::copy_n(inner->pixels.begin() + static_cast<std::ptrdiff_t>(y * row_bytes), row_bytes,
                result.pixels.begin() +
                    static_cast<std::ptrdiff_t>(((top + y) * result.width + left) * channels));
  return result;
}

ValueImage MirrorTiled(const ValueImage& image) {
  const std::size_t width = image.width, height = image.height;
  ValueImage result{2 * image.width, 2 * image.height, {}};
  result.values.resize(4 * width * height);
  for (std::size_t y = 0; y < 2 * height; ++y) {
    // The lower half (v from 0 to 1) is the image; the upper its mirror image.
    const std::size_t row = y >= height ? y - height : height - 1 - y;
    for (std::size_t x = 0; x < 2 * width; ++x) {
      const std::size_t column = x < width ? x : 2 * width - 1 - x;
      result.values[y * 2 * width + x] = image.values[row * width + column];
    }
  }
  return result;
}

void ApplyAmount(ValueImage& opacity, double amount, double base) {
  if (amount >= 1) return;
  amount = std::max(amount, 0.0);
  const double rest = (1 - amount) * 255 * std::clamp(base, 0.0, 1.0);
  for (std::uint8_t& value : opacity.values) value = RoundedByte(amount * value + rest);
}

ValueImage AlphaOf(const DecodedImage& image) {
  ValueImage result{image.width, image.height,
                    std::vector<std::uint8_t>(PixelCount(image.width, image.height), 255)};
  if (image.channels == 4)
    for (std::size_t i = 0; i < result.values.size(); ++i)
      result.values[i] = image.pixels[4 * i + 3];
  return result;
}

DecodedImage WithAlpha(const DecodedImage& colour, const ValueImage& alpha) {
  DecodedImage result{colour.width, colour.height, 4, {}};
  const std::size_t count = PixelCount(colour.width, colour.height);
  result.pixels.resize(count * 4);
  const auto channels = static_cast<std::size_t>(colour.channels);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t c = 0; c < 3; ++c) result.pixels[4 * i + c] = colour.pixels[channels * i + c];
    result.pixels[4 * i + 3] = alpha.values[i];
  }
  return result;
}

DecodedImage Filled(std::uint32_t width, std::uint32_t height, Rgb8Colour colour) {
  DecodedImage result{width, height, 3, {}};
  result.pixels.reserve(PixelCount(width, height) * 3);
  for (std::size_t i = 0; i < PixelCount(width, height); ++i)
    result.pixels.insert(result.pixels.end(), colour.begin(), colour.end());
  return result;
}

DecodedImage MixedWithColour(const DecodedImage& image, Rgb8Colour colour, double weight) {
  DecodedImage result = image;
  weight = std::clamp(weight, 0.0, 1.0);
  const auto channels = static_cast<std::size_t>(image.channels);
  for (std::size_t i = 0; i < result.pixels.size(); i += channels)
    for (std::size_t c = 0; c < 3; ++c)
      result.pixels[i + c] = RoundedByte(weight * image.pixels[i + c] + (1 - weight) * colour[c]);
  return result;
}

DecodedImage Negated(const DecodedImage& image) {
  DecodedImage result = image;
  const auto channels = static_cast<std::size_t>(image.channels);
  for (std::size_t i = 0; i < result.pixels.size(); i += channels)
    for (std::size_t c = 0; c < 3; ++c)
      result.pixels[i + c] = static_cast<std::uint8_t>(255 - image.pixels[i + c]);
  return result;
}

AlphaUse AlphaUseOf(const ValueImage& alpha) {
  std::size_t partial = 0;
  bool see_through = false;
  for (const std::uint8_t value : alpha.values) {
    if (value != 255) see_through = true;
    if (value > 25 && value < 230) ++partial;
  }
  if (!see_through) return AlphaUse::opaque;
  // A cut-out when at most 1 in 20 of the pixels lies between.
  return partial * 20 <= alpha.values.size() ? AlphaUse::mask : AlphaUse::blend;
}

DecodedImage NormalMap(const ValueImage& heights, EdgeWrap wrap_x, EdgeWrap wrap_y,
                       const std::array<double, 4>& turn) {
  const bool turned = turn != kUnturned;
  const auto width = static_cast<std::int64_t>(heights.width);
  const auto height = static_cast<std::int64_t>(heights.height);
  DecodedImage result{heights.width, heights.height, 3, {}};
  result.pixels.resize(PixelCount(heights.width, heights.height) * 3);
  // Heights are values / 255.
  const double scale_x = static_cast<double>(width) / (256.0 * 255.0);
  const double scale_y = static_cast<double>(height) / (256.0 * 255.0);
  const auto at = [&](std::int64_t x, std::int64_t y) {
    return static_cast<int>(heights.values[static_cast<std::size_t>(
        WrappedIndex(y, height, wrap_y) * width + WrappedIndex(x, width, wrap_x))]);
  };
  std::size_t out = 0;
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      double sx = (at(x + 1, y) - at(x - 1, y)) * scale_x;
      double sy = (at(x, y - 1) - at(x, y + 1)) * scale_y;
      if (turned) {
        const double image_x = sx, image_y = sy;
        sx = turn[0] * image_x + turn[1] * image_y;
        sy = turn[2] * image_x + turn[3] * image_y;
      }
      const double length = std::sqrt(sx * sx + sy * sy + 1);
      const double normal[3] = {-sx / length, -sy / length, 1 / length};
      for (const double c : normal) result.pixels[out++] = RoundedByte((c + 1) * 127.5);
    }
  }
  return result;
}

}  // namespace torvik::images
