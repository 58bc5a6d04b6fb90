// A scene whose meshes come one at a time, for a reader that makes them
// while the conversion takes them: the conversion sizes its tables from
// what the stream announces, and each mesh is converted and let go before
// the next is taken, so the scene is never held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "torvik32c/3dsload.h"
#include "torvik32c/outgl.h"

namespace torvik {

class SceneMeshStream {
 public:
  virtual ~SceneMeshStream() = default;

  // Mesh `index`, taken for 0, 1, 2, ... in turn; it may have no faces.
  // Once the last is taken, after_last runs.
  H3dsMeshObj Take(std::size_t index) {
    H3dsMeshObj mesh = Make(index);
    if (index + 1 == count && after_last) after_last();
    return mesh;
  }
  // A mesh taken that the conversion is done with, whose memory the stream
  // may use again.
  virtual void Recycle(H3dsMeshObj&& mesh) { (void)mesh; }

  std::size_t count = 0;          // the meshes to take
  std::size_t most_vertices = 0;  // all of them together, at most
  // The triangles of each binding name, all meshes together, at most.
  std::vector<std::pair<std::string, std::size_t>> triangles;
  // Called once the last mesh is taken (what it was made from can go).
  std::function<void()> after_last;

 protected:
  // Mesh `index`, made (or waited for) in the order taken.
  virtual H3dsMeshObj Make(std::size_t index) = 0;
};

// Converts a scene whose meshes (none in `scene`) come from `meshes`, as
// convert_to_outgl converts the scene that holds them all (without the
// keyframer or the outward orientation, which need them all at once).
Model ConvertStreamedScene(H3dsScene&& scene, SceneMeshStream& meshes,
                           ConversionStats* stats = nullptr, const ConvertOptions& options = {});

}  // namespace torvik
