#include "acos_cost.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "measure.h"

namespace bench {

namespace {

constexpr int kInputs = 1 << 20;
constexpr int kPasses = 5;

// The converter's argument: minus the cosine of the corner between sides a
// and b, c opposite.
double NegatedCosine(double a, double b, double c) {
  return ((c * c - a * a) - b * b) / (2 * a * b);
}

double Clamped(double x) { return std::clamp(x, -1.0, 1.0); }

double TimePerCall(const std::vector<double>& inputs) {
  return AcosSeconds(inputs) / static_cast<double>(inputs.size()) * 1e9;
}

}  // namespace

double AcosSeconds(const std::vector<double>& inputs) {
  std::vector<double> timings;
  volatile double sink = 0;
  for (int pass = 0; pass < kPasses; ++pass) {
    double sum = 0;
    const double start = CpuNow();
    for (const double x : inputs) sum += std::acos(x);
    timings.push_back(CpuNow() - start);
    sink = sink + sum;
  }
  return Median(timings);
}

std::vector<double> CornerArguments(const torvik::H3dsScene& scene) {
  std::vector<double> arguments;
  for (const torvik::H3dsMeshObj& mesh : scene.meshobjlist) {
    auto side = [&](torvik::uword i, torvik::uword j) {
      const torvik::H3dsVert& a = mesh.vertlist[i];
      const torvik::H3dsVert& b = mesh.vertlist[j];
      const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y,
                   dz = static_cast<double>(a.z) - b.z;
      return std::sqrt(dx * dx + dy * dy + dz * dz);
    };
    for (const torvik::H3dsMatList& binding : mesh.bindings) {
      for (const torvik::uword f : binding.faces) {
        const torvik::H3dsFace& face = mesh.facelist[f];
        const double d01 = side(face.p0, face.p1), d02 = side(face.p0, face.p2),
                     d12 = side(face.p1, face.p2);
        arguments.push_back(Clamped(NegatedCosine(d01, d02, d12)));
        arguments.push_back(Clamped(NegatedCosine(d01, d12, d02)));
        arguments.push_back(Clamped(NegatedCosine(d02, d12, d01)));
      }
    }
  }
  return arguments;
}

AcosCost MeasureAcos() {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  std::vector<double> corners;
  corners.reserve(kInputs);
  while (corners.size() < kInputs) {
    double p[3][3];
    for (auto& point : p)
      for (double& x : point) x = coordinate(random);
    auto side = [&](int i, int j) {
      return std::sqrt((p[i][0] - p[j][0]) * (p[i][0] - p[j][0]) +
                       (p[i][1] - p[j][1]) * (p[i][1] - p[j][1]) +
                       (p[i][2] - p[j][2]) * (p[i][2] - p[j][2]));
    };
    const double ab = side(0, 1), bc = side(1, 2), ca = side(2, 0);
    corners.push_back(Clamped(NegatedCosine(ab, ca, bc)));
    corners.push_back(Clamped(NegatedCosine(ab, bc, ca)));
    corners.push_back(Clamped(NegatedCosine(bc, ca, ab)));
  }
  corners.resize(kInputs);
  std::vector<double> grid;
  grid.reserve(kInputs);
  const double diagonal = std::sqrt(2.0);
  while (grid.size() < kInputs) {
    grid.push_back(NegatedCosine(1.0, 1.0, diagonal));
    grid.push_back(NegatedCosine(1.0, diagonal, 1.0));
    grid.push_back(NegatedCosine(diagonal, 1.0, 1.0));
  }
  grid.resize(kInputs);
  return AcosCost{TimePerCall(corners), TimePerCall(grid)};
}

}  // namespace bench
