#include "viewer_image.h"

#include "decode_image.h"
#include "encode_png.h"

namespace torvik::images {

const char* ViewerImage::MimeType() const {
  return format == ImageFormat::jpeg ? "image/jpeg" : "image/png";
}

ViewerImage ToViewerImage(std::vector<std::uint8_t> bytes, TextureBudget& budget) {
  const ImageHeader header = ReadImageHeader(bytes);
  // Pixels that are only checked, or that have no alpha, are decoded as RGB.
  const bool checked_only = header.viewer_ready;
  const int channels = checked_only || header.format == ImageFormat::jpeg ? 3 : 4;
  const std::uint64_t pixel_bytes = DecodedBytes(header, channels);
  budget.Require(pixel_bytes);
  ViewerImage image;
  {
    const DecodedImage decoded = DecodeImage(bytes, header, channels);
    if (checked_only) {
      image = {std::move(bytes), header.format};
    } else {
      image = {EncodePng(decoded), ImageFormat::png};
    }
  }
  if (image.bytes.size() > pixel_bytes) budget.Require(image.bytes.size() - pixel_bytes);
  return image;
}

}  // namespace torvik::images
