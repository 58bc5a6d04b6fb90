#include "torvik32c/export_conventions.h"

namespace torvik {

std::array<float, 3> ExportPosition(const BMF_UNVERTEX& vertex, ExportAxes axes) {
  return {vertex.x, vertex.y, axes == ExportAxes::authored ? -vertex.z : vertex.z};
}

std::array<float, 3> ExportNormal(const BMF_UNVERTEX& vertex, ExportAxes axes) {
  return {vertex.i, vertex.j, axes == ExportAxes::authored ? -vertex.k : vertex.k};
}

std::array<uword, 3> ExportCorners(const BMF_SURFACE& triangle, ExportAxes axes) {
  if (axes == ExportAxes::authored) return {triangle.p0, triangle.p2, triangle.p1};
  return {triangle.p0, triangle.p1, triangle.p2};
}

float OpacityOf(float alpha) { return alpha > 0 && alpha < 1 ? 1 - alpha : 1; }

float OpacityOfTransparency(float transparency) {
  if (!(transparency > 0)) return 1;
  return transparency < 1 ? 1 - transparency : 0;
}

}  // namespace torvik
