# Run by Blender (blender -b --factory-startup --python make_models.py -- OUT):
# makes a scene as an artist would and exports it as Blender 3.4 does, to
# OUT/scene.glb, OUT/scene.gltf (with scene.bin and the texture beside it)
# and OUT/scene.obj (with scene.mtl).  The scene: a red cube drawn twice (a
# linked duplicate, mirrored), a smooth sphere with an image texture, and a
# flat, two-sided plane with 50 % alpha.
import os
import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]
os.makedirs(out, exist_ok=True)
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene


def material(name, colour):
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    mat.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = colour
    return mat


bpy.ops.mesh.primitive_cube_add(size=2, location=(0, 0, 1))
cube = bpy.context.object
cube.name = "Cube"
cube.data.materials.append(material("Red", (0.8, 0.02, 0.02, 1)))
twin = cube.copy()  # a linked duplicate: the same mesh data
twin.name = "CubeMirror"
twin.location = (0, -4, 1)
twin.scale = (-1, 1, 1)
scene.collection.objects.link(twin)

bpy.ops.mesh.primitive_uv_sphere_add(segments=32, ring_count=16, radius=1.2, location=(3.5, 0, 1.2))
sphere = bpy.context.object
sphere.name = "Sphere"
bpy.ops.object.shade_smooth()
image = bpy.data.images.new("checker", 64, 64)
image.generated_type = "COLOR_GRID"
image.filepath_raw = os.path.join(out, "checker.png")
image.file_format = "PNG"
image.save()
checker = material("Checker", (1, 1, 1, 1))
texture = checker.node_tree.nodes.new("ShaderNodeTexImage")
texture.image = image
checker.node_tree.links.new(texture.outputs["Color"],
                            checker.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
sphere.data.materials.append(checker)

bpy.ops.mesh.primitive_plane_add(size=10, location=(0, 0, 0))
plane = bpy.context.object
plane.name = "Floor"
glass = material("Glass", (0.1, 0.3, 0.9, 0.5))
glass.blend_method = "BLEND"
glass.use_backface_culling = False
glass.node_tree.nodes["Principled BSDF"].inputs["Alpha"].default_value = 0.5
plane.data.materials.append(glass)

bpy.ops.export_scene.gltf(filepath=os.path.join(out, "scene.glb"), export_format="GLB")
bpy.ops.export_scene.gltf(filepath=os.path.join(out, "scene.gltf"),
                          export_format="GLTF_SEPARATE")
bpy.ops.export_scene.obj(filepath=os.path.join(out, "scene.obj"))
