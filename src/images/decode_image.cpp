#include "decode_image.h"

#include <string>

#include "decoders.h"

namespace torvik::images {

void ThrowDamaged(ImageFormat format, const char* reason) {
  throw ImageError(std::string("damaged image (") + FormatName(format) + ": " + reason + ")");
}

const char* DecoderOf(ImageFormat format) {
#ifdef TORVIK_IMAGES_NATIVE_PNG
  if (format == ImageFormat::png) return "libpng";
#endif
#ifdef TORVIK_IMAGES_NATIVE_JPEG
  if (format == ImageFormat::jpeg) return "libjpeg-turbo";
#endif
  (void)format;
  return "stb_image";
}

void DecodeImageInto(std::span<const std::uint8_t> bytes, const ImageHeader& header, int channels,
                     std::span<std::uint8_t> pixels) {
  if (channels != 3 && channels != 4) throw ImageError("3 or 4 channels per pixel are decoded");
  if (pixels.size() != DecodedBytes(header, channels))
    throw ImageError("the pixel buffer does not fit the image");
  const DecodeTarget target{bytes.data(), bytes.size(),  pixels.data(),
                            header.width, header.height, channels};
#ifdef TORVIK_IMAGES_NATIVE_PNG
  if (header.format == ImageFormat::png) return DecodePng(target);
#endif
#ifdef TORVIK_IMAGES_NATIVE_JPEG
  if (header.format == ImageFormat::jpeg) return DecodeJpeg(target);
#endif
  DecodeWithStb(target, header.format);
}

DecodedImage DecodeImage(std::span<const std::uint8_t> bytes, int channels) {
  if (channels != 3 && channels != 4) throw ImageError("3 or 4 channels per pixel are decoded");
  const ImageHeader header = ReadImageHeader(bytes);
  DecodedImage image;
  image.width = header.width;
  image.height = header.height;
  image.channels = channels;
  image.pixels.resize(static_cast<std::size_t>(DecodedBytes(header, channels)));
  DecodeImageInto(bytes, header, channels, image.pixels);
  return image;
}

}  // namespace torvik::images
