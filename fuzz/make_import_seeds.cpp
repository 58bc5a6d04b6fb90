// Writes the seed corpora of the glTF and OBJ readers' fuzz targets: small
// files that use what each reader reads.
//   make_import_seeds GLTF_FOLDER OBJ_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gltf_maker.h"

namespace {

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Write(const std::filesystem::path& path, const std::string& text) {
  Write(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Two nodes draw one mesh (one of them mirrored, under a parent), a strip
// and a fan, a material with a texture stored inside and transformed.
t3ds::GltfMaker Scene() {
  t3ds::GltfMaker maker;
  const int positions = maker.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 3);
  const int normals = maker.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, 3);
  const int uvs = maker.Floats({0, 0, 1, 0, 1, 1, 0, 1}, 2);
  const int mesh = maker.Mesh(positions, maker.Indices({0, 1, 2, 0, 2, 3}), 0);
  maker.json["meshes"][mesh]["primitives"][0]["attributes"]["NORMAL"] = normals;
  maker.json["meshes"][mesh]["primitives"][0]["attributes"]["TEXCOORD_0"] = uvs;
  const int strip = maker.Mesh(positions, maker.Indices({1, 2, 0, 3}), -1, 5);
  const int fan = maker.Mesh(positions, -1, 0, 6);
  const std::vector<std::uint8_t> png = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
      0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08,
      0xD7, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0x18, 0xDD, 0x8D,
      0xB0, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  maker.json["images"] = {{{"bufferView", maker.View(png)}, {"mimeType", "image/png"},
                           {"name", "wood"}}};
  maker.json["textures"] = {{{"source", 0}}};
  maker.json["materials"] = {
      {{"name", "Wood"},
       {"doubleSided", true},
       {"alphaMode", "BLEND"},
       {"pbrMetallicRoughness",
        {{"baseColorFactor", {0.5, 0.25, 1, 0.5}},
         {"baseColorTexture",
          {{"index", 0},
           {"extensions",
            {{"KHR_texture_transform",
              {{"offset", {0.5, 0}}, {"rotation", 0.5}, {"scale", {2, 2}}}}}}}}}},
       {"extensions", {{"KHR_materials_specular", {{"specularColorFactor", {1, 0.5, 0}}}}}}}};
  const int child = maker.Node(mesh, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, 0, 0, 1});
  const int parent = maker.Node(mesh, {}, "parent");
  maker.json["nodes"][parent]["children"] = {child};
  maker.json["nodes"][parent]["rotation"] = {0, 0.7071068, 0, 0.7071068};
  maker.json["nodes"][parent]["translation"] = {1, 2, 3};
  maker.Scene({parent, maker.Node(strip), maker.Node(fan)});
  return maker;
}

const char* const kObj =
    "# a material library in the file itself, as the fuzz target serves it\n"
    "mtllib self.mtl\n"
    "newmtl Brick\nKa 0.1 0.1 0.1\nKd 0.5 0.25 0.125\nKs 1 1 1\nd 0.5\n"
    "map_Kd -s 2 2 1 -o 0.5 0 0 textures/brick wall.png\n"
    "newmtl Glass\nKd 0.8\nTr 0.25\n"
    "o Quad\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
    "usemtl Brick\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
    "usemtl Glass\nf -4//1 -2//1 \\\n -1//1\n"
    "usemtl Missing\nf 1 2 3\nl 1 2\np 3\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_import_seeds GLTF_FOLDER OBJ_FOLDER\n");
    return 2;
  }
  const std::filesystem::path gltf = argv[1], obj = argv[2];
  std::filesystem::create_directories(gltf);
  std::filesystem::create_directories(obj);
  Write(gltf / "triangle.gltf", t3ds::OneTriangle().Text());
  Write(gltf / "triangle.glb", t3ds::OneTriangle().Binary());
  Write(gltf / "scene.gltf", Scene().Text());
  Write(gltf / "scene.glb", Scene().Binary());
  Write(obj / "quad.obj", std::string(kObj));
  return 0;
}
