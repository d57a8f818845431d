# What the module's tests share: dozu-cli, the examples and the fuzzers'
# corpus (named by CTest in the environment), and readers of what dozu-cli
# writes: its OBJ, its GLB's triangles and its messages.
import json
import os
import pathlib
import struct
import subprocess

import numpy as np
import pytest

CLI = os.environ["DOZU_CLI"]
SOURCE = pathlib.Path(os.environ["DOZU_SOURCE_DIR"])
EXAMPLES = sorted((SOURCE / "examples").glob("*.tpg"))


class CliRun:
    """dozu-cli run on a program, writing an OBJ and a GLB (none when the
    quad cap stopped it)."""

    def __init__(self, program, tmp, *options):
        obj, glb = tmp / "cli.obj", tmp / "cli.glb"
        for stale in (obj, glb):
            stale.unlink(missing_ok=True)
        done = subprocess.run(
            [CLI, "run", str(program), "--obj", str(obj), "--glb", str(glb), *options],
            capture_output=True,
            encoding="latin-1",
        )
        assert done.returncode in (0, 1), done.stderr
        self.fatal = done.returncode == 1
        prefix = f"{program}:"
        self.warnings, self.messages = [], []
        for line in done.stderr.splitlines():
            assert line.startswith(prefix), line
            rest = line[len(prefix) :]
            if rest.startswith(" warning: "):
                if rest != " warning: the model is empty":  # said of the file written
                    self.warnings.append(rest[len(" warning: ") :])
            else:
                number, text = rest.split(": ", 1)
                self.messages.append((int(number), text))
        self.written = obj.exists()
        if self.written:
            self.vertices, self.normals, self.quads = read_obj(obj)
            self.triangles = read_glb_triangles(glb)


def read_obj(path):
    rows = {"v": [], "vn": [], "f": []}
    for line in pathlib.Path(path).read_text().splitlines():
        kind, *values = line.split()
        if kind == "f":
            values = [int(corner.split("//")[0]) - 1 for corner in values]
        rows[kind].append(values)
    return (
        np.array(rows["v"], dtype=np.float32).reshape(-1, 3),
        np.array(rows["vn"], dtype=np.float32).reshape(-1, 3),
        np.array(rows["f"], dtype=np.int64).reshape(-1, 4),
    )


def read_glb_triangles(path):
    data = pathlib.Path(path).read_bytes()
    json_length = struct.unpack_from("<I", data, 12)[0]
    gltf = json.loads(data[20 : 20 + json_length])
    binary = data[20 + json_length + 8 :]
    if "meshes" not in gltf:  # an empty model
        return np.zeros((0, 3), dtype=np.int64)
    primitive = gltf["meshes"][0]["primitives"][0]
    accessor = gltf["accessors"][primitive["indices"]]
    view = gltf["bufferViews"][accessor["bufferView"]]
    start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
    return np.frombuffer(binary, dtype="<u4", count=accessor["count"], offset=start).reshape(-1, 3)


def expect_as_cli(mesh, cli):
    """The mesh is the one dozu-cli writes, float for float, with the same
    messages."""
    np.testing.assert_array_equal(mesh.vertices, cli.vertices)
    np.testing.assert_array_equal(mesh.normals, cli.normals)
    np.testing.assert_array_equal(mesh.quads, cli.quads)
    np.testing.assert_array_equal(mesh.triangles(), cli.triangles)
    assert [(m.line, m.text) for m in mesh.messages] == cli.messages
    assert mesh.warnings == cli.warnings
    assert (mesh.fatal is not None) == cli.fatal


@pytest.fixture
def cli_run(tmp_path):
    return lambda program, *options: CliRun(program, tmp_path, *options)
