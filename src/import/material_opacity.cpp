#include "material_opacity.h"

#include <algorithm>
#include <cmath>

namespace torvik::import {

namespace {

// The 3DS reader's percentages: amount x 0.01.
constexpr double kPercent = 0.01;

}  // namespace

void SetOpacity(H3dsMat& mat, double opacity) {
  const float stored =
      static_cast<float>(std::isnan(opacity) ? 1.0 : std::clamp(opacity, 0.0, 1.0));
  const double percent = std::round((1 - static_cast<double>(stored)) / kPercent);
  const auto whole = static_cast<float32>(percent * kPercent);
  mat.transparency = 1 - whole == stored ? whole : 1 - stored;
  mat.alpha = static_cast<double>(mat.transparency) < kPercent ? 1.0f : mat.transparency;
}

}  // namespace torvik::import
