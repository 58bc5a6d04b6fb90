// Simple parametric meshes for samples, tests and benchmarks.
#pragma once

#include "threeds_builder.h"

namespace t3ds {

// A torus around the file's z axis: `segments` around the ring, `sides`
// around the tube; 2 * segments * sides faces, with texture coordinates.
Mesh Torus(const std::string& name, float ring_radius, float tube_radius, int segments, int sides,
           Vec3 center = {0, 0, 0});

// An axis-aligned box of 8 vertices and 12 faces.
Mesh Box(const std::string& name, Vec3 low, Vec3 high);

// A closed cylinder along the file's z axis, with caps.
Mesh Cylinder(const std::string& name, float radius, float height, int segments,
              Vec3 base = {0, 0, 0});

// A quad with the corners a, b, c, d, counter-clockwise seen from its front,
// and texture coordinates (0, 0), (1, 0), (1, 1), (0, 1) at them: the
// texture stands upright with its bottom edge from a to b.
Mesh Quad(const std::string& name, Vec3 a, Vec3 b, Vec3 c, Vec3 d);

// An axis-aligned box whose six sides each show the whole texture, upright
// on the four walls: 4 vertices and 2 faces per side.
Mesh TexturedBox(const std::string& name, Vec3 low, Vec3 high);

// Gives all faces of the mesh to one material.
void AssignAll(Mesh& mesh, const std::string& material);

}  // namespace t3ds
