// Writes the generated models that the Windows build must convert to the same
// bytes as the native build: shapes whose normals go through many different
// angles, near-degenerate slivers whose corner cosines sit next to -1 and 1,
// geometry far from the origin or very small, where every rounding step
// shows in the result; scenes whose keyframer turns, mirrors and instances
// meshes (placement_scenes.h), and one that it animates, with a camera
// and lights (animated_demo.h); a model textured by a BMP, a GIF and a
// TGA, which the glTF export encodes again as PNG; and the model whose
// materials use 3D Studio's maps (tiled, turned, bump and opacity maps),
// whose glTF composes and derives images, with maps placed every way
// (map_placements.h: mirrored tiles, maps framed where they show once, bump
// maps turned and mirrored); and one with every kind of map, in JPEG and PNG
// files, some of them missing.
//
//   make_models OUTDIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "animated_demo.h"
#include "every_map_model.h"
#include "image_files.h"
#include "map_placements.h"
#include "materials_demo.h"
#include "placement_scenes.h"
#include "png_image.h"
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

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) std::perror(path.c_str());
  return static_cast<bool>(out);
}

bool Write(const std::string& path, const std::vector<Material>& materials,
           const std::vector<Mesh>& meshes) {
  return Write(path, BuildFile(materials, meshes));
}

bool Write(const std::string& path, const Scene& scene) {
  return Write(path, BuildFile(scene.materials, scene.meshes, scene.nodes));
}

// Three boxes, textured by a BMP, a GIF and a TGA written beside the model.
bool WriteTexturedFormats(const std::string& dir) {
  RgbImage image(24, 16);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      image.at(x, y) = {static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 15),
                        static_cast<std::uint8_t>((x ^ y) * 8)};
  std::vector<Material> materials;
  std::vector<Mesh> meshes;
  for (const char* name : {"bricks.bmp", "checks.gif", "stripes.tga"}) {
    materials.push_back({name, {}, Color{1, 1, 1}, {}, {}, false, name});
    const float x = static_cast<float>(meshes.size()) * 3;
    meshes.push_back(TexturedBox(name, {x, 0, 0}, {x + 2, 2, 2}));
    AssignAll(meshes.back(), name);
  }
  return Write(dir + "bricks.bmp", BmpBytes(image)) &&
         Write(dir + "checks.gif",
               GifBytes(20, 12, {200, 40, 40}, {240, 240, 200},
                        [](int x, int y) { return (x / 4 + y / 4) % 2 == 0; })) &&
         Write(dir + "stripes.tga", TgaBytes(image)) &&
         Write(dir + "textured_formats.3ds", materials, meshes);
}

// A checkerboard placed in every way as texture 1, and domes as turned
// and mirrored bump maps.
bool WritePlacedMaps(const std::string& dir) {
  std::vector<PlacementCase> placed = TilingCases();
  for (const auto& more : {MirrorCases(), DecalCases()})
    placed.insert(placed.end(), more.begin(), more.end());
  const MaterialsDemo textures = PlacedMaps(placed, 0xA200, "checker.png");
  const MaterialsDemo bumps = PlacedMaps(BumpCases(), 0xA230, "domes.png");
  return Write(dir + "checker.png", PngBytes(Checkerboard())) &&
         Write(dir + "domes.png", PngBytes(Domes())) &&
         Write(dir + "placed_maps.3ds", textures.materials, textures.meshes) &&
         Write(dir + "placed_bumps.3ds", bumps.materials, bumps.meshes);
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
                  Write(dir + "tiny.3ds", materials, {tiny}) &&
                  Write(dir + "placement_trial.3ds", PlacementTrial()) &&
                  Write(dir + "inward_and_outward.3ds", InwardAndOutward()) &&
                  Write(dir + "animated_demo.3ds", BuildFile(AnimatedDemo())) &&
                  WriteTexturedFormats(dir) && SaveMaterialsDemo(dir) && SaveEveryMapModel(dir) &&
                  WritePlacedMaps(dir);
  return ok ? 0 : 1;
}
