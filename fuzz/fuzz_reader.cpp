// libFuzzer target: the 3DS reader alone, so the fuzzer spends its time on
// the chunk walk.
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>

#include "torvik32c/3dsload.h"
#include "torvik32c/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    // Inputs of odd length also keep the smoothing groups.  The keyframer's
    // nodes are read, placed and drawn, which must keep every index inside
    // its lists too.
    torvik::H3dsScene scene = torvik::HRead3dsScene(
        std::span<const std::uint8_t>(data, size),
        {.smoothing_groups = size % 2 == 1, .keyframer = true});
    const torvik::ScenePlacement placement = torvik::PlaceScene(scene);
    torvik::MeasureKeyframer(scene, placement);
    torvik::DrawPlacedMeshes(scene, placement);
    // Every index the reader lets through must be inside its lists.
    for (const torvik::H3dsMeshObj& mesh : scene.meshobjlist) {
      for (const torvik::H3dsFace& face : mesh.facelist)
        if (face.p0 >= mesh.vertlist.size() || face.p1 >= mesh.vertlist.size() ||
            face.p2 >= mesh.vertlist.size())
          __builtin_trap();
      if (!mesh.smoothing.empty() && mesh.smoothing.size() != mesh.facelist.size())
        __builtin_trap();
      for (const torvik::H3dsMatList& binding : mesh.bindings)
        for (const torvik::uword face : binding.faces)
          if (face >= mesh.facelist.size()) __builtin_trap();
    }
  } catch (const torvik::ReadError&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
