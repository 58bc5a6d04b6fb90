// The OBJ reader: statements, material libraries, and what it refuses,
// saying on which line.
#include <gtest/gtest.h>

#include <map>

#include "torvik32c/obj_import.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Files beside the model, by name.
torvik::FileReader Beside(const std::map<std::string, std::string>& files) {
  return [files](const std::string& path, std::uint64_t) {
    const auto found = files.find(path);
    if (found == files.end()) throw torvik::Error(torvik::Error::Kind::cannot_open, "missing");
    return Bytes(found->second);
  };
}

std::string Refusal(const std::string& text) {
  try {
    torvik::ReadObjScene(Bytes(text));
  } catch (const torvik::ImportError& error) {
    return error.what();
  }
  return "read";
}

TEST(ObjReader, FacesPairTheirCornersAndPolygonsAreFanned) {
  const torvik::ImportedScene scene = torvik::ReadObjScene(
      Bytes("# a quad, and a triangle by negative indices without texture coordinates\n"
            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
            "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
            "f 1/1 2/2 3/3 4/4\n"
            "f -4 -3 \\\n  -2\n"
            "l 1 2\n"));
  ASSERT_EQ(scene.scene.meshobjlist.size(), 1u);
  const torvik::H3dsMeshObj& mesh = scene.scene.meshobjlist[0];
  // 4 corners with texture coordinates, 3 without: 7 vertices.
  ASSERT_EQ(mesh.vertlist.size(), 7u);
  ASSERT_EQ(mesh.facelist.size(), 3u);
  // Fanned from the first corner: (1 2 3), (1 3 4).
  EXPECT_EQ(mesh.facelist[1].p0, 0);
  EXPECT_EQ(mesh.facelist[1].p1, 2);
  EXPECT_EQ(mesh.facelist[1].p2, 3);
  // y up in the file, z up in the scene: (1, 1, 0) lies at (1, 0, 1).
  EXPECT_EQ(mesh.vertlist[2].x, 1.0f);
  EXPECT_EQ(mesh.vertlist[2].z, 1.0f);
  EXPECT_EQ(mesh.maplist[2].u, 1.0f);
  EXPECT_EQ(mesh.maplist[4].u, 0.0f);  // no vt
  // No usemtl: the default material.
  ASSERT_EQ(mesh.bindings.size(), 1u);
  EXPECT_EQ(mesh.bindings[0].name, "QZ_DEFAULT");
  EXPECT_TRUE(scene.scene.defaultmaterialwarning);
  ASSERT_EQ(scene.warnings.size(), 1u);
  EXPECT_NE(scene.warnings[0].find("1 lines and points are left out"), std::string::npos);
}

TEST(ObjReader, UsemtlGroupsTakeTheirMaterialsFromTheLibrary) {
  const std::string obj =
      "mtllib lib/house.mtl ../escape.mtl\n"
      "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
      "usemtl Glass\nf 1 2 3\n"
      "usemtl Brick\nf 1 3 2\n"
      "usemtl Missing\nf 1 2 3\n"
      "usemtl Glass\nf 3 2 1\n";
  const std::string mtl =
      "newmtl Brick\nKd 0.5 0.25 0.125\nKa 0.1 0.1 0.1\nKs 1 1 1\n"
      "map_Kd -s 2 2 1 -clamp on textures/brick wall.png\n"
      "newmtl Glass\nKd 0.8\nd 0.6\n"
      "newmtl Tinted\nTr 0.25\n";
  const torvik::ImportedScene scene = torvik::ReadObjScene(
      Bytes(obj), {.files = Beside({{"lib/house.mtl", mtl}}), .model_name = "house.obj"});
  // In the library's order, the unused one too (a 3DS file's materials make
  // blocks alike).
  ASSERT_EQ(scene.scene.material.size(), 3u);
  const torvik::H3dsMat& brick = scene.scene.material[0];
  EXPECT_EQ(brick.name, "Brick");
  EXPECT_EQ(brick.diffuse.green, 0.25f);
  EXPECT_EQ(brick.ambient.red, 0.1f);
  EXPECT_EQ(brick.texture.texturename, "textures/brick wall.png");
  EXPECT_EQ(brick.alpha, 1.0f);
  const torvik::H3dsMat& glass = scene.scene.material[1];
  EXPECT_EQ(glass.diffuse.blue, 0.8f);
  EXPECT_EQ(glass.ambient.red, 0.8f);  // without Ka: the diffuse colour
  EXPECT_EQ(glass.transparency, static_cast<float>(40 * 0.01));
  EXPECT_EQ(scene.scene.material[2].transparency, 0.25f);
  const torvik::H3dsMeshObj& mesh = scene.scene.meshobjlist[0];
  // One group per material, in order of first use; Glass's faces together.
  ASSERT_EQ(mesh.bindings.size(), 3u);
  EXPECT_EQ(mesh.bindings[0].name, "Glass");
  EXPECT_EQ(mesh.bindings[0].faces, (std::vector<torvik::uword>{0, 1}));
  EXPECT_EQ(mesh.bindings[2].name, "Missing");
  // The library out of the folder is not read; the missing material is named.
  ASSERT_EQ(scene.warnings.size(), 2u);
  EXPECT_NE(scene.warnings[0].find("\"../escape.mtl\" is no path within the model's folder"),
            std::string::npos);
  EXPECT_NE(scene.warnings[1].find("\"Missing\" is in no material library"), std::string::npos);
}

TEST(ObjReader, NumbersReadExactlyAndNormalsAreKeptWhenAsked) {
  const std::string obj =
      "v 0.1 1e-05 -3.4028235e+38\nv +1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0.6 0.8\n"
      "f 1//1 2//1 3//1\nf 1//2 3//2 2//2\n";
  torvik::ImportedScene scene = torvik::ReadObjScene(Bytes(obj));
  const torvik::H3dsMeshObj& mesh = scene.scene.meshobjlist[0];
  EXPECT_EQ(mesh.vertlist[0].x, 0.1f);
  EXPECT_EQ(mesh.vertlist[0].z, 1e-05f);
  EXPECT_EQ(mesh.vertlist[0].y, 3.4028235e+38f);
  // Without the file's normals the corners are one vertex each.
  EXPECT_EQ(mesh.vertlist.size(), 3u);
  EXPECT_TRUE(scene.normals[0].empty());
  scene = torvik::ReadObjScene(Bytes(obj), {.file_normals = true});
  ASSERT_EQ(scene.scene.meshobjlist[0].vertlist.size(), 6u);
  ASSERT_EQ(scene.normals[0].size(), 6u);
  EXPECT_EQ(scene.normals[0][3].y, -0.8f);  // (0, 0.6, 0.8) with y up is (0, -0.8, 0.6)
  EXPECT_EQ(scene.normals[0][3].z, 0.6f);
  const torvik::Model model = torvik::ConvertImportedScene(std::move(scene));
  // In the model's axes: the scene's y and z exchanged.
  EXPECT_EQ(model.VertexList()[3].ny, 0.6f);
  EXPECT_EQ(model.VertexList()[3].nz, -0.8f);
}

TEST(ObjReader, DamagedFilesAreRefusedNamingTheLine) {
  EXPECT_EQ(Refusal("v 0 0 0\nv 1 0 0\n\nf 1 2 3\n"),
            "OBJ line 4: corner names position 3, and 2 are defined above it");
  EXPECT_EQ(Refusal("v 0 0 0\nf 1 1 -2\n"),
            "OBJ line 2: corner names position -2, and 1 are defined above it");
  EXPECT_EQ(Refusal("v 0 0 0\nf 1/1 1 1\n"),
            "OBJ line 2: corner names texture coordinates 1, and 0 are defined above it");
  EXPECT_EQ(Refusal("v 0 0 0\nf 1 x 1\n"), "OBJ line 2: \"x\" is no index");
  EXPECT_EQ(Refusal("v 0 0 0\nf 0 1 1\n"), "OBJ line 2: \"0\" is no index");
  EXPECT_EQ(Refusal("# one\nv 0 0 0x1B\n"), "OBJ line 2: \"0x1B\" is no number");
  EXPECT_EQ(Refusal("v 0 0\n"), "OBJ line 1: a position needs x, y and z");
  EXPECT_EQ(Refusal("v 1e99 0 0\n"), "OBJ line 1: \"1e99\" is no number");
  EXPECT_EQ(Refusal("v 0 0 \x1B[2J\n"), "OBJ line 1: \"\\x1B[2J\" is no number");
  const torvik::FileReader files = Beside({{"m.mtl", "newmtl A\nKd 1 red 1\n"}});
  try {
    torvik::ReadObjScene(Bytes("mtllib m.mtl\n"), {.files = files});
    ADD_FAILURE() << "read";
  } catch (const torvik::ImportError& error) {
    EXPECT_STREQ(error.what(), "OBJ m.mtl line 2: \"red\" is no number");
  }
  // A texture name ends at a zero byte, as a BMF (and a 3DS file) stores it.
  const torvik::ImportedScene named = torvik::ReadObjScene(
      Bytes("mtllib m.mtl\n"),
      {.files = Beside({{"m.mtl", std::string("newmtl A\nmap_Kd a.png\0b.png\n", 28)}})});
  EXPECT_EQ(named.scene.material.at(0).texture.texturename, "a.png");
  // Faces of fewer than 3 corners are left out with a warning.
  const torvik::ImportedScene scene = torvik::ReadObjScene(Bytes("v 0 0 0\nf 1 1\n"));
  EXPECT_TRUE(scene.scene.meshobjlist.empty());
  EXPECT_EQ(scene.warnings.size(), 1u);
}

}  // namespace
