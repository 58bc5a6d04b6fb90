// Reversing the meshes whose faces clearly face inward.
#include <cmath>
#include <utility>

#include "torvik32c/3dsload.h"

namespace torvik {

// Positive when the faces, wound counter-clockwise seen from outside, enclose
// the centroid; measured against the sum of the tetrahedra's sizes.
bool FacesInward(const H3dsMeshObj& mesh) {
  if (mesh.vertlist.empty()) return false;
  double c[3] = {0, 0, 0};
  for (const H3dsVert& v : mesh.vertlist) c[0] += v.x, c[1] += v.y, c[2] += v.z;
  for (double& x : c) x /= static_cast<double>(mesh.vertlist.size());
  double signed_sum = 0, absolute_sum = 0;
  for (const H3dsFace& face : mesh.facelist) {
    if (face.p0 >= mesh.vertlist.size() || face.p1 >= mesh.vertlist.size() ||
        face.p2 >= mesh.vertlist.size())
      continue;
    const H3dsVert& a = mesh.vertlist[face.p0];
    const H3dsVert& b = mesh.vertlist[face.p1];
    const H3dsVert& d = mesh.vertlist[face.p2];
    const double u[3] = {a.x - c[0], a.y - c[1], a.z - c[2]};
    const double v[3] = {b.x - c[0], b.y - c[1], b.z - c[2]};
    const double w[3] = {d.x - c[0], d.y - c[1], d.z - c[2]};
    const double volume = u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) +
                          u[2] * (v[0] * w[1] - v[1] * w[0]);
    signed_sum += volume;
    absolute_sum += std::fabs(volume);
  }
  return signed_sum < -0.5 * absolute_sum;
}

std::size_t OrientOutward(H3dsScene& scene) {
  std::size_t reversed = 0;
  for (H3dsMeshObj& mesh : scene.meshobjlist) {
    if (!FacesInward(mesh)) continue;
    for (H3dsFace& face : mesh.facelist) std::swap(face.p1, face.p2);
    ++reversed;
  }
  return reversed;
}

}  // namespace torvik
