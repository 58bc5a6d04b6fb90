// A material's transparency from an opacity, as the exports turn a 3DS
// material's transparency into one (OpacityOfTransparency and OpacityOf in
// export_conventions.h): a whole percentage where one gives exactly that
// opacity, as the 3DS reader stores it, and the BMF's alpha by the 3DS
// reader's rule (below 1 % opaque).
#pragma once

#include "torvik32c/3dsload.h"

namespace torvik::import {

void SetOpacity(H3dsMat& mat, double opacity);

}  // namespace torvik::import
