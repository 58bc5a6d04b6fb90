// Writes the generated models that the Windows build must convert to the same
// bytes as the native build: shapes whose normals go through many different
// angles, near-degenerate slivers whose corner cosines sit next to -1 and 1,
// and geometry far from the origin or very small, where every rounding
// step shows in the result.
//
//   make_models OUTDIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "shapes.h"

namespace {

using namespace t3ds;

// A fixed stream of numbers in [-1, 1), the same on every machine.
class Jitter {
 public:
  float Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<float>(static_cast<double>(state_ >> 11) * 0x1p-52 - 1.0);
  }

 private:
  std::uint64_t state_ = 88172645463325252ull;
};

Mesh Shaken(Mesh mesh, float amount, Jitter& jitter) {
  for (Vec3& v : mesh.vertices)
    for (float& c : v) c += amount * jitter.Next();
  return mesh;
}

Mesh Moved(Mesh mesh, Vec3 offset) {
  for (Vec3& v : mesh.vertices)
    for (int i = 0; i < 3; ++i) v[i] += offset[i];
  return mesh;
}

// A fan of long thin triangles around one hub: the angles at the hub run
// from a few ulps up, the other corners come close to a straight angle, and
// some triangles are exactly degenerate.
Mesh Slivers(Jitter& jitter) {
  Mesh mesh;
  mesh.name = "Slivers";
  mesh.vertices.push_back({0, 0, 0});
  float angle = 0;
  for (int i = 0; i < 400; ++i) {
    const float step = i % 7 == 0 ? 0.0f : 1e-7f * static_cast<float>(1 << (i % 20));
    angle += step;
    const float length = 10.0f + jitter.Next();
    mesh.vertices.push_back({length, length * angle, jitter.Next() * 1e-6f});
  }
  for (std::size_t i = 1; i + 1 < mesh.vertices.size(); ++i)
    mesh.faces.push_back({0, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(i + 1)});
  return mesh;
}

bool Write(const std::string& path, const std::vector<Material>& materials,
           const std::vector<Mesh>& meshes) {
  const std::vector<std::uint8_t> bytes = BuildFile(materials, meshes);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) std::perror(path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_models OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  Jitter jitter;
  const std::vector<Material> materials = {
      {"Matte",
       Color{0.1f, 0.1f, 0.1f},
       Color{0.7f, 0.7f, 0.6f},
       Color{0.2f, 0.2f, 0.2f},
       {},
       false,
       "matte.png"},
      {"Sheet", Color{0.2f, 0.1f, 0.1f}, Color{0.9f, 0.3f, 0.3f}, Color{1, 1, 1}, 25, true, ""},
  };

  Mesh torus = Shaken(Torus("Knot", 3.0f, 1.1f, 96, 48), 0.02f, jitter);
  AssignAll(torus, "Matte");
  Mesh column = Shaken(Cylinder("Column", 0.5f, 4.0f, 64), 0.01f, jitter);
  AssignAll(column, "Sheet");
  Mesh slivers = Slivers(jitter);
  AssignAll(slivers, "Sheet");
  Mesh far_box = Moved(Box("FarBox", {0, 0, 0}, {0.25f, 0.5f, 0.125f}), {1e5f, -3e5f, 2e4f});
  Mesh far_torus = Moved(Torus("FarRing", 0.3f, 0.1f, 24, 12), {-7e4f, 5e4f, 1e5f});
  AssignAll(far_torus, "Matte");  // the box takes the default material
  Mesh tiny = Shaken(Torus("Tiny", 2e-3f, 5e-4f, 32, 16), 1e-5f, jitter);
  AssignAll(tiny, "Matte");

  const bool ok = Write(dir + "jittered.3ds", materials, {torus, column}) &&
                  Write(dir + "slivers.3ds", materials, {slivers}) &&
                  Write(dir + "far_away.3ds", materials, {far_box, far_torus}) &&
                  Write(dir + "tiny.3ds", materials, {tiny});
  return ok ? 0 : 1;
}
