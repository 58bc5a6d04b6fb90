// Face normals on insertion and the angle-weighted vertex normals.
#include <gtest/gtest.h>

#include <cmath>

#include "outgl/surface_normal.h"
#include "torvik32c/errors.h"
#include "torvik32c/outgl.h"

namespace {

using torvik::Model;
using torvik::RGB;
using torvik::TRIANGLE;
using torvik::VERTEX;

constexpr RGB kGrey{0.5f, 0.5f, 0.5f, 1.0f};

VERTEX At(float x, float y, float z) { return VERTEX{0, 0, 0, 0, 0, x, y, z}; }

Model WithMaterials(int doublesided = 0) {
  Model model;
  model.OutGLAddMaterial(kGrey, kGrey, kGrey, "M", "", doublesided);
  return model;
}

void ExpectNormal(const VERTEX& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.nx, x, tolerance);
  EXPECT_NEAR(v.ny, y, tolerance);
  EXPECT_NEAR(v.nz, z, tolerance);
}

TEST(FaceNormals, FollowTheWindingAndDropDegenerateTriangles) {
  Model model = WithMaterials();
  for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(0, 0, 0), At(2, 0, 0)})
    model.OutGLAddVertex(v);
  model.OutGLAddPolygon({0, 1, 2}, "M");
  model.OutGLAddPolygon({0, 2, 1}, "M");
  model.OutGLAddPolygon({0, 0, 2},
                        "Nowhere");       // repeated index: dropped before the name is looked at
  model.OutGLAddPolygon({0, 3, 2}, "M");  // two corners at one place
  model.OutGLAddPolygon({0, 1, 4}, "M");  // on a line
  const auto& triangles = model.PolyList()[0].TriangleIndexList;
  ASSERT_EQ(triangles.size(), 2u);
  EXPECT_EQ(std::vector<float>({triangles[0].n0, triangles[0].n1, triangles[0].n2}),
            std::vector<float>({0, 0, 1}));
  EXPECT_EQ(std::vector<float>({triangles[1].n0, triangles[1].n1, triangles[1].n2}),
            std::vector<float>({0, 0, -1}));
  EXPECT_EQ(model.DegenerateDropped(), 3u);
  EXPECT_THROW(model.OutGLAddPolygon({0, 1, 2}, "Nowhere"), torvik::UnknownMaterial);
}

TEST(FaceNormals, SliverWithANonZeroCrossProductIsKeptWithAUnitNormal) {
  Model model = WithMaterials();
  for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0.5f, 1e-10f, 0)}) model.OutGLAddVertex(v);
  model.OutGLAddPolygon({0, 1, 2}, "M");
  ASSERT_EQ(model.PolyList()[0].NumTriangles(), 1u);
  EXPECT_NEAR(model.PolyList()[0].TriangleIndexList[0].n2, 1.0f, 1e-6f);
}

TEST(FaceNormals, TwoSidedMaterialsStoreAReversedCopy) {
  Model model = WithMaterials(1);
  for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0)}) model.OutGLAddVertex(v);
  model.OutGLAddPolygon({0, 1, 2}, "M");
  const auto& triangles = model.PolyList()[0].TriangleIndexList;
  ASSERT_EQ(triangles.size(), 2u);
  EXPECT_EQ(std::vector<unsigned>({triangles[1].p0, triangles[1].p1, triangles[1].p2}),
            std::vector<unsigned>({0, 2, 1}));
  EXPECT_EQ(triangles[1].n2, -1.0f);
}

TEST(VertexNormals, AngleWeightsArePiMinusTheCorner) {
  // At the origin: a right triangle (normal +z, weight pi/2) and an
  // equilateral one (normal +x, weight 2 pi/3) give (0.8, 0, 0.6).
  Model model = WithMaterials();
  const float h = static_cast<float>(std::sqrt(3.0) / 2);
  for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(0, 0.5f, h)})
    model.OutGLAddVertex(v);
  model.OutGLAddPolygon({0, 1, 2}, "M");
  model.OutGLAddPolygon({0, 2, 3}, "M");
  model.OutGLFinishModel();
  ExpectNormal(model.VertexList()[0], 0.8f, 0, 0.6f);
  ExpectNormal(model.VertexList()[1], 0, 0, 1);  // one triangle: its face normal
  for (const VERTEX& v : model.VertexList()) {
    const double length =
        std::sqrt(double(v.nx) * v.nx + double(v.ny) * v.ny + double(v.nz) * v.nz);
    EXPECT_NEAR(length, 1.0, 1e-6);
  }
}

TEST(VertexNormals, UnusedVerticesGetZeroAndFinishingKeepsTheTable) {
  Model model = WithMaterials();
  for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(5, 5, 5), At(2, 0, 0)})
    model.OutGLAddVertex(VERTEX{0.25f, 0.75f, 9, 9, 9, v.x, v.y, v.z});
  model.OutGLAddPolygon({0, 1, 2}, "M");
  model.OutGLAddPolygon({0, 1, 4}, "M");  // degenerate: vertex 4 stays unused
  model.OutGLFinishModel();
  ASSERT_EQ(model.NumVertex(), 5u);
  ExpectNormal(model.VertexList()[3], 0, 0, 0, 0);
  ExpectNormal(model.VertexList()[4], 0, 0, 0, 0);
  EXPECT_EQ(model.VertexList()[3].x, 5.0f);
  EXPECT_EQ(model.VertexList()[3].u, 0.25f);
  EXPECT_EQ(model.VertexList()[3].v, 0.75f);
}

TEST(VertexNormals, ReversedCopiesDoNotCancelTheirOriginals) {
  // Two-sided and one-sided versions of the same surface get the same
  // smooth normals: the copies do not take part.
  auto build = [](int doublesided) {
    Model model = WithMaterials(doublesided);
    for (const VERTEX& v : {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(1, 1, 0.5f)})
      model.OutGLAddVertex(v);
    model.OutGLAddPolygon({0, 1, 2}, "M");
    model.OutGLAddPolygon({1, 3, 2}, "M");
    model.OutGLFinishModel();
    return model;
  };
  const Model one = build(0), two = build(1);
  for (std::size_t i = 0; i < one.NumVertex(); ++i) {
    EXPECT_EQ(one.VertexList()[i].nx, two.VertexList()[i].nx);
    EXPECT_EQ(one.VertexList()[i].ny, two.VertexList()[i].ny);
    EXPECT_EQ(one.VertexList()[i].nz, two.VertexList()[i].nz);
    EXPECT_GT(two.VertexList()[i].nz, 0.5f);
  }
}

TEST(VertexNormals, AngleStaysFiniteOnNearlyFlatCorners) {
  // Rounding can push the law-of-cosines quotient past 1 on corners of
  // almost 180 degrees; the weight then stays a number.
  const std::vector<VERTEX> vertices = {At(0, 0, 0), At(1e8f, 1, 0), At(2e8f, 0, 0)};
  const torvik::SURFACE s{0, 1, 2, 0, 0, 1};
  for (torvik::dword corner : {0u, 1u, 2u}) {
    const float weight = torvik::angle(vertices, s, corner);
    EXPECT_FALSE(std::isnan(weight));
    EXPECT_GE(weight, 0.0f);
    EXPECT_LE(weight, 3.1416f);
  }
}

TEST(VertexNormals, ThreadsDoNotChangeABit) {
  auto build = [] {
    Model model = WithMaterials();
    model.OutGLAddMaterial(kGrey, kGrey, kGrey, "Two", "", 1);
    const int n = 40;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        model.OutGLAddVertex(At(static_cast<float>(i), static_cast<float>(j),
                                static_cast<float>(std::sin(i * 0.7) * std::cos(j * 1.3))));
    for (int i = 0; i + 1 < n; ++i)
      for (int j = 0; j + 1 < n; ++j) {
        const auto a = static_cast<torvik::dword>(i * n + j);
        model.OutGLAddPolygon({a, a + n, a + 1}, (i + j) % 3 ? "M" : "Two");
        model.OutGLAddPolygon({a + 1, a + n, a + n + 1}, "M");
      }
    return model;
  };
  Model one = build(), many = build();
  one.OutGLFinishModel(1);
  many.OutGLFinishModel(7);
  for (std::size_t i = 0; i < one.NumVertex(); ++i) {
    EXPECT_EQ(one.VertexList()[i].nx, many.VertexList()[i].nx);
    EXPECT_EQ(one.VertexList()[i].ny, many.VertexList()[i].ny);
    EXPECT_EQ(one.VertexList()[i].nz, many.VertexList()[i].nz);
  }
}

TEST(VertexNormals, DistanceIsEuclidean) {
  EXPECT_EQ(torvik::distance(At(1, 2, 3), At(4, 6, 3)), 5.0);
}

}  // namespace
