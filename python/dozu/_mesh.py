"""The mesh that a decode gives, as dozu's mesh files hold it.

The runtime's mesh is compacted as the exporters compact it: a quad that
names a missing vertex or one with a non-finite position is dropped, then
every vertex that no quad names, and the rest are numbered in their order.
The quads are turned counter-clockwise seen from outside: the runtime lays
them clockwise, and taken backwards from the same first corner they run
the other way.
"""

from __future__ import annotations

import enum
from typing import NamedTuple, Optional

import numpy as np


class Kind(enum.IntEnum):
    """How grave a message is, as the runtime says."""

    FATAL = 1
    ERROR = 2
    WARNING = 3
    HINT = 4


class Message(NamedTuple):
    """A message of the program: its line, counted from 1 as the editor and
    dozu-cli number them, and its text as they show it."""

    line: int
    kind: Kind
    text: str

    def __str__(self):
        return f"{self.line}: {self.text}"


def compact(records: np.ndarray, indices: np.ndarray):
    """records: (n, 6) float32 normals then positions; indices: (m, 4)
    uint32 corners, clockwise. Gives the kept positions, normals and the
    counter-clockwise quads renumbered, as new arrays."""
    count = len(records)
    positions = records[:, 3:]
    finite = np.isfinite(positions).all(axis=1)
    kept = indices
    if len(kept) and kept.max() >= count:
        kept = kept[(kept < count).all(axis=1)]
    if not finite.all():
        kept = kept[finite[kept].all(axis=1)]
    used = np.zeros(count, dtype=bool)
    used[kept.ravel()] = True
    # Fewer than 2^31 vertices: the indices are the same as int32.
    counter_clockwise = kept.view(np.int32)[:, [0, 3, 2, 1]]
    if used.all():  # the usual model: nothing to renumber
        return positions.copy(), records[:, :3].copy(), counter_clockwise
    number = np.cumsum(used, dtype=np.int64) - 1
    return (
        np.ascontiguousarray(positions[used]),
        np.ascontiguousarray(records[used, :3]),
        number[counter_clockwise].astype(np.int32),
    )


class Mesh:
    """A decoded model.

    vertices: float32 (n, 3) positions; normals: float32 (n, 3) of unit
    length (where the decoder's normal is about zero, at a cap's centre, the
    area-weighted mean of the quads around it); quads: int32 (m, 4),
    counter-clockwise seen from outside. messages: the program's Messages
    (the first 100,000 and a fatal error; messages_left_out counts the
    rest); warnings: what the file drew (texts); program: the program text;
    name: the file's name without its extension, or None.
    """

    def __init__(self, vertices, normals, quads, messages, warnings, program, name=None, messages_left_out=0):
        self.vertices = vertices
        self.normals = normals
        self.quads = quads
        self.messages = messages
        self.warnings = warnings
        self.program = program
        self.name = name
        self.messages_left_out = messages_left_out

    @property
    def fatal(self) -> Optional[Message]:
        """The fatal error that stopped the program, or None."""
        return next((m for m in self.messages if m.kind == Kind.FATAL), None)

    def triangles(self) -> np.ndarray:
        """int32 (k, 3): two triangles per quad, split along its first
        diagonal as the mesh writers split it, counter-clockwise; a triangle
        that names a vertex twice is left out."""
        q = self.quads
        both = np.stack((q[:, [0, 1, 2]], q[:, [0, 2, 3]]), axis=1).reshape(-1, 3)
        distinct = (both[:, 0] != both[:, 1]) & (both[:, 1] != both[:, 2]) & (both[:, 2] != both[:, 0])
        return np.ascontiguousarray(both[distinct])

    def to_trimesh(self):
        """The mesh as a trimesh.Trimesh of its triangles, as they are (not
        processed); needs trimesh, which dozu does not depend on."""
        try:
            import trimesh
        except ImportError as e:
            raise ImportError("Mesh.to_trimesh needs the trimesh module, which is not installed") from e
        return trimesh.Trimesh(
            vertices=self.vertices, faces=self.triangles(), vertex_normals=self.normals, process=False
        )

    def __repr__(self):
        return f"<dozu.Mesh {self.name or 'program'}: {len(self.vertices)} vertices, {len(self.quads)} quads>"
