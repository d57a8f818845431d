"""Blender add-on: File > Import > dozu program (.tpg), and an object that
follows its program.

An imported object keeps its program's path and text as custom properties
(dozu_path, dozu_program). The Object properties' "dozu program" panel
reloads it, and "Follow the file" reloads it whenever the file changes (a
save in the dozu editor): a timer looks every half second, re-armed by a
load_post handler after a .blend is opened. A program that stops at a fatal
error, or a file that cannot be read, keeps the last good mesh; the panel
shows the messages either way.

The decoding is the dozu Python module: the copy beside this file (as the
zip for "Install from Disk" carries it, with its x86-64 library), else the
one installed on the system (the python3-dozu package).
"""

bl_info = {
    "name": "dozu program",
    "author": "The dozu developers",
    "version": (0, 4, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > dozu program (.tpg); Properties > Object > dozu program",
    "description": "Imports dozu programs (.tpg) as meshes that follow their files",
    "category": "Import-Export",
}

import math
import os

import bpy
from bpy.app.handlers import persistent
from bpy.props import BoolProperty, StringProperty
from bpy_extras.io_utils import ImportHelper


def _import_dozu():
    """The dozu module, or None and why not."""
    problems = []
    try:
        from . import dozu

        return dozu, None
    except ImportError as e:
        if getattr(e, "name", None) != f"{__name__}.dozu":
            problems.append(str(e))
    try:
        import dozu

        return dozu, None
    except ImportError as e:
        problems.append(str(e))
    return None, problems[0]


dozu, dozu_problem = _import_dozu()

FOLLOW_SECONDS = 0.5


def _stamp(path):
    """What tells a changed file: its time and size, or None."""
    try:
        st = os.stat(path)
    except OSError:
        return None
    return f"{st.st_mtime_ns}:{st.st_size}"


def _new_mesh_data(name, mesh):
    """A Blender mesh of the program's quads, smooth shaded with its
    normals."""
    data = bpy.data.meshes.new(name)
    quads = len(mesh.quads)
    data.vertices.add(len(mesh.vertices))
    data.vertices.foreach_set("co", mesh.vertices.ravel())
    data.loops.add(4 * quads)
    data.loops.foreach_set("vertex_index", mesh.quads.ravel())
    data.polygons.add(quads)
    data.polygons.foreach_set("loop_start", range(0, 4 * quads, 4))
    if bpy.app.version < (4, 0, 0):  # read-only from 4.0, made from loop_start
        data.polygons.foreach_set("loop_total", [4] * quads)
    data.polygons.foreach_set("use_smooth", [True] * quads)
    # A quad that names a vertex twice is not a face Blender keeps.
    data.validate(clean_customdata=False)
    data.update()
    if hasattr(data, "use_auto_smooth"):  # custom normals need it before 4.1
        data.use_auto_smooth = True
        # No edge split by its angle: each vertex's corners share one normal.
        data.auto_smooth_angle = math.pi
    if len(data.vertices) == len(mesh.vertices):
        data.normals_split_custom_set_from_vertices(mesh.normals)
    return data


def _message_lines(mesh=None, problem=None):
    """The panel's lines, each its icon, a tab and its text."""
    lines = [] if problem is None else [f"ERROR\t{problem}"]
    if mesh is not None:
        lines += [f"ERROR\twarning: {w}" for w in mesh.warnings]
        lines += [f"{'ERROR' if m.kind <= dozu.Kind.ERROR else 'INFO'}\t{m}" for m in mesh.messages]
    return "\n".join(lines)


def _first_text(messages):
    return messages.split("\n", 1)[0].partition("\t")[2]


def _decode_file(path):
    """The program's mesh, or None; and the text the panel shows."""
    if dozu is None:
        return None, f"ERROR\tdozu cannot decode: {dozu_problem}"
    try:
        mesh = dozu.load(path)
    except dozu.ProgramError as e:
        return None, _message_lines(e.mesh, str(e))
    except (OSError, ValueError, MemoryError) as e:
        return None, f"ERROR\t{e}"
    if mesh.fatal:
        return None, _message_lines(mesh)
    return mesh, _message_lines(mesh)


def _set_mesh(obj, mesh):
    old = obj.data
    data = _new_mesh_data(obj.name, mesh)
    for material in old.materials:
        data.materials.append(material)
    obj.data = data
    if old.users == 0:
        bpy.data.meshes.remove(old)


def reload_object(obj):
    """Decodes the object's program file again. True when its mesh was
    replaced; otherwise it keeps the last good one."""
    path = obj["dozu_path"]
    stamp = _stamp(path)
    mesh, messages = _decode_file(path)
    obj["_dozu_stamp"] = stamp or ""
    obj["_dozu_messages"] = messages
    if mesh is None:
        obj["_dozu_kept"] = True
        return False
    _set_mesh(obj, mesh)
    obj["dozu_program"] = mesh.program
    obj["_dozu_kept"] = False
    return True


def follow_files():
    """The timer's call: reloads every following object whose file changed.
    Stops when none follows."""
    following = [o for o in bpy.data.objects if o.get("dozu_path") and o.dozu_follow]
    for obj in following:
        # An object being edited keeps its edit; it follows once left.
        if obj.mode != "EDIT" and _stamp(obj["dozu_path"]) != obj.get("_dozu_stamp"):
            reload_object(obj)
    return FOLLOW_SECONDS if following else None


def arm_timer():
    if not bpy.app.timers.is_registered(follow_files):
        bpy.app.timers.register(follow_files, first_interval=FOLLOW_SECONDS)


@persistent
def _after_load(_dummy):
    if any(o.get("dozu_path") and o.dozu_follow for o in bpy.data.objects):
        arm_timer()


def _follow_changed(obj, _context):
    if obj.dozu_follow:
        arm_timer()


class IMPORT_MESH_OT_dozu(bpy.types.Operator, ImportHelper):
    """Import a dozu program (.tpg) as a mesh object"""

    bl_idname = "import_mesh.dozu"
    bl_label = "Import dozu program"
    bl_options = {"REGISTER", "UNDO", "PRESET"}

    filename_ext = ".tpg"
    filter_glob: StringProperty(default="*.tpg", options={"HIDDEN"})
    # Not remembered, so that a drop sets it and the menu asks again.
    filepath: StringProperty(subtype="FILE_PATH", options={"SKIP_SAVE"})
    follow: BoolProperty(name="Follow the file", description="Reload the object whenever its file changes")

    def invoke(self, context, event):
        if self.filepath:  # dropped on the view
            return self.execute(context)
        return ImportHelper.invoke(self, context, event)

    def execute(self, context):
        path = os.path.abspath(bpy.path.abspath(self.filepath))
        mesh, messages = _decode_file(path)
        if mesh is None:
            self.report({"ERROR"}, _first_text(messages))
            return {"CANCELLED"}
        obj = bpy.data.objects.new(mesh.name, _new_mesh_data(mesh.name, mesh))
        obj["dozu_path"] = path
        obj["dozu_program"] = mesh.program
        obj["_dozu_stamp"] = _stamp(path) or ""
        obj["_dozu_messages"] = messages
        obj["_dozu_kept"] = False
        context.collection.objects.link(obj)
        for other in context.selected_objects:
            other.select_set(False)
        obj.select_set(True)
        context.view_layer.objects.active = obj
        obj.dozu_follow = self.follow
        if messages:
            self.report({"WARNING"}, f"{mesh.name}: {_first_text(messages)}")
        return {"FINISHED"}


class OBJECT_OT_dozu_reload(bpy.types.Operator):
    """Decode the object's program file again"""

    bl_idname = "object.dozu_reload"
    bl_label = "Reload from program"
    bl_options = {"REGISTER", "UNDO"}

    @classmethod
    def poll(cls, context):
        obj = context.object
        return obj is not None and "dozu_path" in obj and obj.mode != "EDIT"

    def execute(self, context):
        obj = context.object
        if not reload_object(obj):
            self.report({"ERROR"}, f"{obj.name}: kept the last good mesh: {_first_text(obj['_dozu_messages'])}")
            return {"CANCELLED"}
        return {"FINISHED"}


class OBJECT_PT_dozu(bpy.types.Panel):
    bl_label = "dozu program"
    bl_space_type = "PROPERTIES"
    bl_region_type = "WINDOW"
    bl_context = "object"

    @classmethod
    def poll(cls, context):
        return context.object is not None and "dozu_path" in context.object

    def draw(self, context):
        obj = context.object
        layout = self.layout
        layout.label(text=obj["dozu_path"], icon="FILE")
        if obj.type == "MESH":
            layout.label(text=f"{len(obj.data.vertices)} vertices, {len(obj.data.polygons)} quads")
        row = layout.row()
        row.operator(OBJECT_OT_dozu_reload.bl_idname, icon="FILE_REFRESH")
        row.prop(obj, "dozu_follow")
        if dozu is None:
            layout.label(text=f"dozu cannot decode: {dozu_problem}", icon="ERROR")
        if obj.get("_dozu_kept"):
            layout.label(text="Failed: the last good mesh is kept", icon="ERROR")
        box = None
        for line in obj.get("_dozu_messages", "").splitlines()[:50]:
            box = box or layout.box()
            icon, _, text = line.partition("\t")
            box.label(text=text, icon=icon)


def _menu_entry(self, _context):
    self.layout.operator(IMPORT_MESH_OT_dozu.bl_idname, text="dozu program (.tpg)")


classes = [IMPORT_MESH_OT_dozu, OBJECT_OT_dozu_reload, OBJECT_PT_dozu]

if hasattr(bpy.types, "FileHandler"):  # 4.1 and later: a .tpg dropped on the 3D view

    class IMPORT_MESH_FH_dozu(bpy.types.FileHandler):
        bl_idname = "IMPORT_MESH_FH_dozu"
        bl_label = "dozu program"
        bl_import_operator = IMPORT_MESH_OT_dozu.bl_idname
        bl_file_extensions = ".tpg"

        @classmethod
        def poll_drop(cls, context):
            return context.area is not None and context.area.type == "VIEW_3D"

    classes.append(IMPORT_MESH_FH_dozu)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.Object.dozu_follow = BoolProperty(
        name="Follow the file",
        description="Reload the object whenever its program file changes",
        update=_follow_changed,
    )
    bpy.types.TOPBAR_MT_file_import.append(_menu_entry)
    bpy.app.handlers.load_post.append(_after_load)
    # bpy.data is not there yet while an add-on registers: the timer's
    # first call looks whether the open file has objects to follow.
    arm_timer()


def unregister():
    if bpy.app.timers.is_registered(follow_files):
        bpy.app.timers.unregister(follow_files)
    if _after_load in bpy.app.handlers.load_post:
        bpy.app.handlers.load_post.remove(_after_load)
    bpy.types.TOPBAR_MT_file_import.remove(_menu_entry)
    del bpy.types.Object.dozu_follow
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
