#include "decode_image.h"

#include <string>

#include "decoder_memory.h"
#include "decoders.h"

namespace torvik::images {

void ThrowDamaged(ImageFormat format, const char* reason) {
  throw ImageError(std::string("damaged image (") + FormatName(format) + ": " + reason + ")");
}

const char* DecoderOf(ImageFormat format) {
#ifdef TORVIK_IMAGES_NATIVE_PNG
  if (format == ImageFormat::png) return "libpng";
#endif
  (void)format;
  return "stb_image";
}

namespace {

void Decode(const DecodeTarget& target, ImageFormat format) {
#ifdef TORVIK_IMAGES_NATIVE_PNG
  if (format == ImageFormat::png) return DecodePng(target);
#endif
  DecodeWithStb(target, format);
}

}  // namespace

void DecodeImageInto(std::span<const std::uint8_t> bytes, const ImageHeader& header, int channels,
                     std::span<std::uint8_t> pixels) {
  if (channels != 3 && channels != 4) throw ImageError("3 or 4 channels per pixel are decoded");
  if (pixels.size() != DecodedBytes(header, channels))
    throw ImageError("the pixel buffer does not fit the image");
  const DecodeTarget target{bytes.data(), bytes.size(),  pixels.data(),
                            header.width, header.height, channels};
  const DecoderAllowance allowance(DecoderMemoryLimit(header, bytes.size()));
  try {
    Decode(target, header.format);
  } catch (const ImageError&) {
    if (!allowance.Refused()) throw;
  }
  // A decoder that went without memory it asked for may have failed for
  // that reason, or skipped data: either way the image is refused.
  if (allowance.Refused()) {
    const std::string reason =
        "decoding would take more than " + std::to_string(allowance.Limit()) + " bytes of memory";
    ThrowDamaged(header.format, reason.c_str());
  }
}

DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, const ImageHeader& header,
                         int channels) {
  if (channels != 3 && channels != 4) throw ImageError("3 or 4 channels per pixel are decoded");
  DecodedImage image;
  image.width = header.width;
  image.height = header.height;
  image.channels = channels;
  image.pixels.resize(static_cast<std::size_t>(DecodedBytes(header, channels)));
  DecodeImageInto(bytes, header, channels, image.pixels);
  return image;
}

DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, int channels) {
  return DecodeImage(bytes, ReadImageHeader(bytes), channels);
}

DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, int channels, TextureBudget& budget) {
  const ImageHeader header = ReadImageHeader(bytes);
  budget.Require(DecodedBytes(header, channels));
  return DecodeImage(bytes, header, channels);
}

}  // namespace torvik::images
