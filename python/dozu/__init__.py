"""dozu models in Python: a program decoded into a mesh of numpy arrays.

    import dozu
    mesh = dozu.load("chain.tpg")
    print(len(mesh.vertices), "vertices,", len(mesh.quads), "quads")

The decoding is dozu's own C runtime (libdozu_runtime.so.0), loaded through
ctypes: the same floats as the editor and dozu-cli make. A mesh is what
dozu-cli's mesh files hold: see Mesh.
"""

from ._decode import DEFAULT_MAX_QUADS, decode, load
from ._errors import FileError, LibraryError, ProgramError
from ._mesh import Kind, Mesh, Message

__all__ = [
    "DEFAULT_MAX_QUADS",
    "FileError",
    "Kind",
    "LibraryError",
    "Mesh",
    "Message",
    "ProgramError",
    "decode",
    "load",
]
