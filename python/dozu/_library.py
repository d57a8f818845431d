"""Loads the runtime library, libdozu_runtime.so.0, and declares its
functions for ctypes.

The library is looked for where DOZU_RUNTIME_LIBRARY names it, else beside
this module (as Blender's add-on carries it), else by its name where the
system keeps libraries (as the libdozu-runtime0 package installs it).
"""

import ctypes
import os

from ._errors import LibraryError

SONAME = "libdozu_runtime.so.0"

OK, ERROR_FATAL, ERROR_MEMORY, ERROR_ARGUMENT = 0, 1, 2, 3
TPG_CELLS = 78


class Mesh(ctypes.Structure):
    _fields_ = [
        ("vertices", ctypes.POINTER(ctypes.c_float)),
        ("vertex_count", ctypes.c_uint32),
        ("indices", ctypes.POINTER(ctypes.c_uint32)),
        ("index_count", ctypes.c_uint32),
    ]


ReportFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_char_p)


class Options(ctypes.Structure):
    _fields_ = [
        ("line_count", ctypes.c_long),
        ("max_quads", ctypes.c_uint32),
        ("report", ReportFn),
        ("user", ctypes.c_void_p),
    ]


class Tpg(ctypes.Structure):
    _fields_ = [
        ("text", ctypes.POINTER(ctypes.c_char)),
        ("length", ctypes.c_size_t),
        ("steps", ctypes.POINTER(ctypes.c_ubyte)),
        ("step_count", ctypes.c_size_t),
        ("cell_start", ctypes.c_size_t * TPG_CELLS),
        ("cell_length", ctypes.c_size_t * TPG_CELLS),
    ]


def _candidates():
    named = os.environ.get("DOZU_RUNTIME_LIBRARY")
    if named:
        return [named]
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), SONAME)
    return ([beside] if os.path.exists(beside) else []) + [SONAME]


def _load():
    failures = []
    for candidate in _candidates():
        try:
            return ctypes.CDLL(candidate)
        except OSError as e:
            failures.append(str(e))
    raise LibraryError(
        f"dozu cannot load its runtime library {SONAME} ({'; '.join(failures)}): "
        "install the libdozu-runtime0 package, or name the library's file in DOZU_RUNTIME_LIBRARY"
    )


def _declare(lib):
    pointer = ctypes.c_void_p
    table = {
        "dozu_options_init": (None, [ctypes.POINTER(Options)]),
        "dozu_decode_with_options": (
            ctypes.c_int,
            [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(Mesh), pointer, ctypes.POINTER(Options)],
        ),
        "dozu_mesh_unit_normals": (ctypes.c_int, [ctypes.POINTER(Mesh), pointer]),
        "dozu_mesh_release": (None, [ctypes.POINTER(Mesh), pointer]),
        "dozu_set_random_state": (None, [ctypes.c_uint32]),
        "dozu_tpg_read": (
            ctypes.c_int,
            [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(Tpg), pointer, ReportFn, pointer],
        ),
        "dozu_tpg_release": (None, [ctypes.POINTER(Tpg), pointer]),
    }
    for name, (result, arguments) in table.items():
        try:
            function = getattr(lib, name)
        except AttributeError:
            raise LibraryError(f"dozu's runtime library {lib._name} lacks {name}: it is older than this module")
        function.restype = result
        function.argtypes = arguments
    return lib


library = _declare(_load())
