// The cost of one call of the C library's acos, which the vertex normals need
// three times per triangle (once per corner): the largest share of the
// converter's floor.
#pragma once

#include <vector>

#include "torvik32c/3dsload.h"

namespace bench {

struct AcosCost {
  double random_triangles_ns;  // inputs: the corners of random triangles
  double grid_triangles_ns;    // inputs: the corners of a square grid's halves (45, 45, 90)
};

// Median of several passes over a million precomputed inputs, in processor
// time, so that other work on the machine does not count.
AcosCost MeasureAcos();

// The arguments of the three acos calls of every triangle that a face-material
// group of the scene lists: minus the cosine of each corner.
std::vector<double> CornerArguments(const torvik::H3dsScene& scene);

// Processor seconds for one acos over each of `inputs` (median of passes).
double AcosSeconds(const std::vector<double>& inputs);

}  // namespace bench
