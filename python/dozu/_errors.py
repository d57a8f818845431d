"""The module's own exceptions."""


class ProgramError(Exception):
    """A program that stopped at a fatal error (with strict=True, or past the
    quad cap), or whose file drew a warning (with strict=True). The mesh it
    made is the exception's mesh."""

    def __init__(self, text, mesh=None):
        super().__init__(text)
        self.mesh = mesh


class FileError(OSError):
    """A file that dozu does not load, as its editor refuses it: not a
    regular file, larger than 16 MiB, or a program too large."""


class LibraryError(ImportError):
    """The runtime library cannot be loaded: not installed, or built for
    another machine."""
