# Draws the README's picture of a dozu model in Blender: the program
# imported by the add-on, on a floor, lit and rendered by EEVEE, which needs
# an X display even in the background (Xvfb and Mesa's software GL do):
#   BLENDER_USER_SCRIPTS=build/release/blender xvfb-run -a blender -b --factory-startup \
#       --python blender/render_picture.py -- examples/tree.tpg docs/blender.png
import sys

import addon_utils
import bpy
import mathutils

program, picture = sys.argv[sys.argv.index("--") + 1 :]
addon_utils.enable("io_mesh_dozu", default_set=True, handle_error=None)
for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)

bpy.ops.import_mesh.dozu(filepath=program)
model = bpy.context.object
material = bpy.data.materials.new("clay")
material.use_nodes = True
shader = material.node_tree.nodes["Principled BSDF"]
shader.inputs["Base Color"].default_value = (0.62, 0.22, 0.07, 1)
shader.inputs["Roughness"].default_value = 0.45
model.data.materials.append(material)

# The model stands on the floor, centred, its longest side about 2 units.
corners = [model.matrix_world @ v.co for v in model.data.vertices]
low = [min(c[i] for c in corners) for i in range(3)]
high = [max(c[i] for c in corners) for i in range(3)]
scale = 2 / max(h - l for h, l in zip(high, low))
model.scale = (scale,) * 3
model.location = tuple(-scale * (h + l) / 2 for h, l in zip(high[:2], low[:2])) + (-scale * low[2],)

bpy.ops.mesh.primitive_plane_add(size=40)
floor = bpy.context.object
floor_material = bpy.data.materials.new("floor")
floor_material.use_nodes = True
floor_material.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (0.85, 0.85, 0.82, 1)
floor.data.materials.append(floor_material)

height = scale * (high[2] - low[2])
bpy.ops.object.camera_add(location=(4.4, -5.2, 1.2 + height))
camera = bpy.context.object
camera.data.lens = 50
direction = camera.location - mathutils.Vector((0, 0, height / 2))
camera.rotation_euler = direction.to_track_quat("Z", "Y").to_euler()
bpy.ops.object.light_add(type="AREA", location=(2.5, -2.0, 5.0))
bpy.context.object.data.energy = 900
bpy.context.object.data.size = 4

scene = bpy.context.scene
scene.camera = camera
scene.world = scene.world or bpy.data.worlds.new("world")
scene.world.use_nodes = True
scene.world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.9, 0.93, 1.0, 1)
scene.world.node_tree.nodes["Background"].inputs["Strength"].default_value = 0.6
scene.render.engine = "BLENDER_EEVEE"
scene.eevee.use_soft_shadows = True
scene.eevee.use_gtao = True
scene.render.dither_intensity = 0  # a smooth background, and a small file
scene.render.resolution_x, scene.render.resolution_y = 800, 450
scene.render.filepath = picture
scene.render.image_settings.file_format = "PNG"
scene.view_settings.view_transform = "Filmic"
bpy.ops.render.render(write_still=True)
