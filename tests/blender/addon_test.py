# The Blender add-on in Blender itself, headless:
#   blender -b --factory-startup --python-exit-code 1 --python addon_test.py -- DOZU_CLI SOURCE_DIR [no-library]
# with BLENDER_USER_SCRIPTS naming the folder of addons/io_mesh_dozu.
# Timers do not fire in background mode: the tests call the timer's
# function themselves.
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

import addon_utils
import bpy

CLI, SOURCE = sys.argv[sys.argv.index("--") + 1 :][:2]
NO_LIBRARY = sys.argv[-1] == "no-library"
EXAMPLES = sorted(pathlib.Path(SOURCE, "examples").glob("*.tpg"))


def cli_obj(program, folder):
    """dozu-cli's OBJ of a program: its positions' and normals' rows and
    its faces' count."""
    obj = pathlib.Path(folder, "cli.obj")
    subprocess.run([CLI, "run", str(program), "--obj", str(obj)], check=True, capture_output=True)
    rows = obj.read_text().splitlines()
    vn = [tuple(map(float, r.split()[1:])) for r in rows if r.startswith("vn ")]
    return sum(r.startswith("v ") for r in rows), vn, sum(r.startswith("f ") for r in rows)


class Layout:
    """Stands in for a panel's layout: keeps what each call shows, as
    (icon or call, text or last argument)."""

    def __init__(self):
        self.shown = []

    def __getattr__(self, call):
        def show(*args, text="", icon="", **_):
            self.shown.append((icon or call, text or (args[-1] if args else "")))
            return self

        return show


class AddonTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.addon = addon_utils.enable("io_mesh_dozu", default_set=True, handle_error=None)
        cls.folder = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def import_program(self, path, **options):
        self.assertEqual(bpy.ops.import_mesh.dozu(filepath=str(path), **options), {"FINISHED"})
        return bpy.context.object

    def panel_texts(self, obj):
        panel = type("Panel", (), {"layout": Layout()})()
        self.addon.OBJECT_PT_dozu.draw(panel, type("Context", (), {"object": obj})())
        return panel.layout.shown

    @unittest.skipIf(NO_LIBRARY, "without the library")
    def test_every_example_imports_with_dozu_clis_counts_and_normals(self):
        self.assertIsNotNone(self.addon.dozu, self.addon.dozu_problem)
        for example in EXAMPLES:
            with self.subTest(example.stem):
                obj = self.import_program(example)
                vertices, normals, faces = cli_obj(example, self.folder)
                self.assertEqual(obj.name, example.stem)
                self.assertEqual((len(obj.data.vertices), len(obj.data.polygons)), (vertices, faces))
                self.assertEqual(obj["dozu_path"], str(example))
                self.assertTrue(obj.data.polygons[0].use_smooth)
                # Every corner's normal is its vertex's, as dozu-cli writes it, as
                # closely as Blender keeps custom normals (none at a vertex where
                # faces meet other than round a fan, as the closed ring's first).
                obj.data.calc_normals_split()
                for loop in obj.data.loops:
                    want = normals[loop.vertex_index]
                    if loop.normal.length > 0:
                        self.assertLess(max(abs(a - b) for a, b in zip(loop.normal, want)), 1e-2)
                self.assertTrue(obj.data.has_custom_normals)

    @unittest.skipIf(NO_LIBRARY, "without the library")
    def test_an_object_follows_its_file_and_keeps_its_last_good_mesh(self):
        chain, tube = (p for p in EXAMPLES if p.stem in ("chain", "tube"))
        program = pathlib.Path(self.folder, "model.tpg")
        shutil.copy(chain, program)
        obj = self.import_program(program, follow=True)
        self.assertEqual(len(obj.data.vertices), 56)
        self.assertTrue(bpy.app.timers.is_registered(self.addon.follow_files))

        # Saved as the editor saves it: a new file in its place.
        shutil.copy(tube, program.with_suffix(".new"))
        os.replace(program.with_suffix(".new"), program)
        self.assertIsNotNone(self.addon.follow_files())
        self.assertEqual(len(obj.data.vertices), 32)
        self.assertEqual(obj["dozu_program"], "* S4 R2 = B ^ ^ ^ ^ ^ ^ T ")

        # init missing: a fatal error keeps the tube and says why.
        program.write_bytes(tube.read_bytes()[:423] + bytes([6, 4, 2, 13, 17]))
        self.addon.follow_files()
        self.assertEqual(len(obj.data.vertices), 32)
        texts = self.panel_texts(obj)
        self.assertIn(("ERROR", "Failed: the last good mesh is kept"), texts)
        self.assertIn(("ERROR", "1: fatal error: no initialization at program start"), texts)
        self.assertIn(("FILE_REFRESH", "object.dozu_reload"), texts)
        self.assertIn(("prop", "dozu_follow"), texts)

        # A .blend saved and opened again follows on.
        blend = pathlib.Path(self.folder, "scene.blend")
        bpy.ops.wm.save_as_mainfile(filepath=str(blend))
        bpy.app.timers.unregister(self.addon.follow_files)
        bpy.ops.wm.open_mainfile(filepath=str(blend))
        self.assertTrue(bpy.app.timers.is_registered(self.addon.follow_files))
        obj = bpy.data.objects["model"]
        shutil.copy(chain, program)
        self.addon.follow_files()
        self.assertEqual(len(obj.data.vertices), 56)
        self.assertFalse(obj["_dozu_kept"])

    @unittest.skipUnless(NO_LIBRARY, "with the library")
    def test_without_its_library_the_addon_says_so(self):
        self.assertIsNone(self.addon.dozu)
        with self.assertRaisesRegex(RuntimeError, "cannot load its runtime library libdozu_runtime.so.0"):
            bpy.ops.import_mesh.dozu(filepath=str(EXAMPLES[0]))


result = unittest.main(argv=[sys.argv[0]], exit=False, verbosity=2).result
sys.exit(0 if result.wasSuccessful() and result.testsRun > len(result.skipped) else 1)
