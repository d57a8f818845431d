"""decode() and load(): a program through the runtime into a Mesh.

The runtime's random sequence is process-wide, and ctypes lets other
threads run while it decodes: every decode holds one lock and starts the
sequence at its start, so that a program decodes to the same mesh in any
thread and order, as dozu-cli makes it.
"""

from __future__ import annotations

import ctypes
import os
import stat
import threading

import numpy as np

from . import _library as native
from ._errors import FileError, ProgramError
from ._mesh import Kind, Mesh, Message, compact

# The thumbnails' cap: a larger model is refused before it is made.
DEFAULT_MAX_QUADS = 2_097_152
# As the editor reads a program file: up to 16 MiB.
MAX_FILE_SIZE = 16 * 1024 * 1024

# A program of millions of faulty lines says as many things: a mesh keeps
# the first of them, and its fatal error.
MAX_MESSAGES = 100_000

_lock = threading.Lock()
_TOO_LARGE = "fatal error: mesh too large: more than "


class _Said(list):
    """What the runtime said, as (line, kind, text), up to a limit."""

    def __init__(self, limit=None):
        super().__init__()
        self.limit = limit
        self.left_out = 0

    def report(self, _user, line, kind, text):
        if self.limit is None or len(self) < self.limit or kind == Kind.FATAL:
            self.append((line, kind, text.decode("latin-1")))
        else:
            self.left_out += 1


def _program_bytes(program) -> bytes:
    if isinstance(program, str):
        try:
            return program.encode("latin-1")
        except UnicodeEncodeError as e:
            raise ValueError(
                f"a dozu program is Latin-1 text; {program[e.start]!r} at index {e.start} is not"
            ) from None
    if isinstance(program, (bytes, bytearray, memoryview)):
        return bytes(program)
    raise TypeError(f"a dozu program is str or bytes, not {type(program).__name__}")


def _check_count(name, value, limit):
    if value is None:
        return
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} is an int or None, not {type(value).__name__}")
    if not 0 <= value <= limit:
        raise ValueError(f"{name} must lie between 0 and {limit}, not {value}")


def _run(text: bytes, lines, max_quads):
    """Decodes under the lock: the compacted positions, normals and quads,
    and the messages as (line, kind, text)."""
    said = _Said(MAX_MESSAGES)
    options = native.Options()
    native.library.dozu_options_init(ctypes.byref(options))
    options.line_count = -1 if lines is None else lines
    options.max_quads = max_quads or 0
    options.report = native.ReportFn(said.report)
    mesh = native.Mesh()
    with _lock:
        native.library.dozu_set_random_state(0)
        status = native.library.dozu_decode_with_options(
            text, len(text), ctypes.byref(mesh), None, ctypes.byref(options)
        )
        try:
            if status == native.ERROR_ARGUMENT:
                raise ValueError(f"a dozu program is shorter than 2 GiB, not {len(text)} bytes")
            if status == native.OK or status == native.ERROR_FATAL:
                if native.library.dozu_mesh_unit_normals(ctypes.byref(mesh), None) != native.OK:
                    status = native.ERROR_MEMORY
            if status == native.ERROR_MEMORY:
                raise MemoryError("out of memory while decoding the program")
            # Views of the runtime's arrays, which compact() copies from.
            records = np.ctypeslib.as_array(mesh.vertices, (mesh.vertex_count, 6)) \
                if mesh.vertex_count else np.zeros((0, 6), np.float32)
            corners = np.ctypeslib.as_array(mesh.indices, (mesh.index_count // 4, 4)) \
                if mesh.index_count >= 4 else np.zeros((0, 4), np.uint32)
            compacted = compact(records, corners)
        finally:
            native.library.dozu_mesh_release(ctypes.byref(mesh), None)
    return compacted, said


def _finish(text: bytes, warnings, name, lines, max_quads, strict, ends=None) -> Mesh:
    """ends: for a program file whose codes hold blanks, where each of its
    lines ends among the runtime's lines, which end at every blank; its
    messages are then numbered by the program's lines, as the editor
    numbers them."""
    _check_count("lines", lines, 2**31 - 1)
    _check_count("max_quads", max_quads, 2**32 - 1)
    if ends is not None and lines is not None:
        lines = int(ends[min(lines, len(ends)) - 1]) if lines and len(ends) else 0
    (vertices, normals, quads), said = _run(text, lines, max_quads)
    line_of = (lambda line: line) if ends is None else (lambda line: int(np.searchsorted(ends, line, "right")))
    messages = [Message(line_of(line) + 1, Kind(kind), message) for line, kind, message in said]
    mesh = Mesh(vertices, normals, quads, messages, warnings, text.decode("latin-1"), name, said.left_out)
    fatal = mesh.fatal
    if fatal and fatal.text.startswith(_TOO_LARGE):
        raise ProgramError(
            f"{fatal.text[len('fatal error: '):]} (line {fatal.line}); a larger max_quads lets it through", mesh
        )
    if strict and (fatal or warnings):
        raise ProgramError(f"line {fatal.line}: {fatal.text}" if fatal else f"warning: {warnings[0]}", mesh)
    return mesh


def decode(program, *, lines=None, max_quads=DEFAULT_MAX_QUADS, strict=False) -> Mesh:
    """Decodes program text: each line's interpreter code and a blank, as in
    "* S4 R2 = B ^ T ". str (of Latin-1 characters only) or bytes.

    lines: runs only the first lines, as the editor's trace mode does.
    max_quads: a program whose mesh would hold more quads stops before it is
    made, with a ProgramError ("mesh too large ..."); None for no cap.
    strict: a fatal error raises a ProgramError, rather than giving the mesh
    made up to it."""
    return _finish(_program_bytes(program), [], None, lines, max_quads, strict)


def _read_file(path) -> bytes:
    # O_NONBLOCK: a FIFO is refused by its type rather than waited on.
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            raise FileError(f"{os.fsdecode(path)!r} is not a regular file")
    except BaseException:
        os.close(fd)
        raise
    with os.fdopen(fd, "rb") as f:
        # One byte past the limit tells a file that is too large.
        return f.read(MAX_FILE_SIZE + 1)


def load(path, *, lines=None, max_quads=DEFAULT_MAX_QUADS, strict=False) -> Mesh:
    """Loads a program file (.tpg, a str, bytes or os.PathLike path) as dozu's
    editor does, with its command table, and decodes it as decode() does.
    The file's warnings (such as "does not look like a dozu program: ...")
    are the mesh's warnings, and with strict=True a ProgramError. A file
    that the editor refuses raises FileError, one that cannot be read
    OSError (FileNotFoundError, ...)."""
    path = os.fspath(path)
    data = _read_file(path)
    said = _Said()
    tpg = native.Tpg()
    report = native.ReportFn(said.report)
    status = native.library.dozu_tpg_read(data, len(data), ctypes.byref(tpg), None, report, None)
    if status == native.ERROR_MEMORY:
        raise MemoryError("out of memory while reading the program file")
    if status != native.OK:
        reason = next((text for _line, kind, text in said if kind == Kind.FATAL), "cannot be read")
        raise FileError(f"{os.fsdecode(path)!r}: {reason}")
    try:
        text = ctypes.string_at(tpg.text, tpg.length)
        steps = np.ctypeslib.as_array(tpg.steps, (tpg.step_count,)).copy() if tpg.step_count else []
        ends = _line_ends(data, tpg, steps)
    finally:
        native.library.dozu_tpg_release(ctypes.byref(tpg), None)
    warnings = [text for _line, _kind, text in said]
    name = os.path.splitext(os.path.basename(os.fsdecode(path)))[0]
    return _finish(text, warnings, name, lines, max_quads, strict, ends)


def _line_ends(data: bytes, tpg, steps):
    """Where each program line ends among the runtime's lines, when a
    button's code holds a blank; else None."""
    blanks = np.zeros(27, dtype=np.int64)
    for tag in range(1, 27):
        cell = 6 * ((tag - 1) // 2) + (0 if tag % 2 else 3) + 1
        start = tpg.cell_start[cell]
        blanks[tag] = data[start : start + tpg.cell_length[cell]].count(b" ")
    if not blanks.any():
        return None
    return np.cumsum(blanks[steps] + 1)
