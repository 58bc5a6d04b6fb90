// The scene's cameras as glTF perspective cameras and its lights as
// KHR_lights_punctual lights, each on the node that places it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "gltf_builder.h"
#include "scene_nodes.h"
#include "torvik32c/3dsload.h"

namespace torvik::gltf_build {

// The placement nodes that carry the cameras and lights: for a camera the
// first camera node (0xB003) of its name, for a light the first light node
// (0xB005), or spotlight node (0xB007) for a spotlight, of its name; -1 for
// none (the mesh editor's place is kept).
struct Carriers {
  std::vector<int> cameras;    // by H3dsScene::cameras
  std::vector<int> lights;     // by H3dsScene::lights
  std::vector<bool> carrying;  // by placement node
};

Carriers CarriersOf(const H3dsScene& scene, const ScenePlacement& placement);

// The model's size and middle, in the file's axes: the diagonal of the box
// of its stored vertices (those finite), and the centre of the box that
// holds every mesh's box as `placement` draws it (the box of its corners)
// at frame 0.
struct ModelBounds {
  std::array<double, 3> centre{0, 0, 0};
  double diagonal = 0;
};

ModelBounds BoundsOf(const H3dsScene& scene, const ScenePlacement& placement);

// Adds every camera and light: on a child of its carrier's glTF node
// (`node_of` by placement node; the node itself for an omni light), or
// under a root node of its own name placed where the mesh editor stores it.
//
// A camera's horizontal field of view is its camera node's first
// field-of-view key, else LensFieldOfView of its lens; glTF's yfov is the
// vertical one of a 4:3 frame (aspectRatio 4/3, 3D Studio's 640 x 480
// rendering), znear a thousandth of the model's diagonal, no zfar.  A
// light's colour, hotspot and falloff are its light node's first keys,
// else the mesh editor's (a warning names those its keys change).  Its
// colour is made linear; its intensity in candela lights the middle of the
// model as the light's multiplier says (pi x multiplier x d^2, d the
// distance from the light to the middle at frame 0: what a 3D Studio
// light of multiplier 1, which does not fade with distance, gives a white
// surface facing it there); 0 for a light switched off or a negative
// multiplier.  An attenuated light reaches as far as its outer range.  A
// spotlight's cones are half its hotspot and falloff, in radians, the
// outer one at most the float below pi / 2 and the inner one below it.
void AddCamerasAndLights(GltfBuilder& builder, const H3dsScene& scene,
                         const ScenePlacement& placement, const Carriers& carriers,
                         const std::vector<std::optional<std::size_t>>& node_of,
                         const ModelBounds& bounds, SceneNodes& nodes);

}  // namespace torvik::gltf_build
