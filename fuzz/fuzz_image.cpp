// libFuzzer target: the image path of the previews and the glTF export on
// arbitrary bytes: the format by content, the header's size check, the
// decoding, the PNG encoding of what was decoded, read back, and what the
// glTF export embeds.
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

#include "images/decode_image.h"
#include "images/encode_png.h"
#include "images/viewer_image.h"

using namespace torvik::images;

// Larger images are checked but not decoded, and smaller ones not encoded
// again, so that each input takes well under a second with the sanitizers:
// a few bytes can claim an image of any size up to the limit.
constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 20;
constexpr std::uint64_t kMaxEncodedPixels = std::uint64_t{1} << 14;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  // Previews decode RGB, the glTF export RGBA: the input's length picks one.
  const int channels = size % 2 == 0 ? 3 : 4;
  try {
    const ImageHeader header = ReadImageHeader(bytes);
    if (header.width == 0 || header.height == 0 || header.Pixels() > kMaxImagePixels)
      __builtin_trap();
    if (header.Pixels() > kMaxDecodedPixels) return 0;
    const DecodedImage image = DecodeImage(bytes, channels);
    if (image.width != header.width || image.height != header.height ||
        image.pixels.size() != DecodedBytes(header, channels))
      __builtin_trap();
    if (header.Pixels() > kMaxEncodedPixels) return 0;
    // What is encoded decodes to the same pixels.
    const DecodedImage again = DecodeImage(EncodePng(image), channels);
    if (again.width != image.width || again.height != image.height || again.pixels != image.pixels)
      __builtin_trap();
    // What the glTF export embeds is an image that viewers read as it is.
    TextureBudget budget;
    const ViewerImage embedded = ToViewerImage({bytes.begin(), bytes.end()}, budget);
    if (!ReadImageHeader(embedded.bytes).viewer_ready) __builtin_trap();
  } catch (const ImageError&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
