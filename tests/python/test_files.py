# What is not a program: the fuzzers' corpus, bytes of another kind, text
# that is not Latin-1, files that cannot be read. Each has its documented
# result, and nothing crashes the interpreter.
import importlib.util
import os
import pathlib

import dozu
import pytest
from conftest import SOURCE, expect_as_cli

CORPUS = SOURCE / "fuzz" / "corpus"


def test_the_fuzzers_program_files_load_as_dozu_cli_runs_them(cli_run):
    for program in sorted((CORPUS / "tpg").iterdir()):
        try:
            expect_as_cli(dozu.load(program), cli_run(program))
        except dozu.ProgramError as e:  # the cap, which dozu-cli does not apply
            assert str(e).startswith("mesh too large"), program
        except AssertionError as e:
            raise AssertionError(program) from e


def test_the_fuzzers_program_texts_decode_or_say_why_not():
    for program in sorted((CORPUS / "text").iterdir()):
        data = program.read_bytes()
        try:
            mesh = dozu.decode(data)
        except dozu.ProgramError as e:
            assert str(e).startswith("mesh too large")
            continue
        assert len(mesh.quads) == 0 or mesh.quads.max() < len(mesh.vertices)
        # The same bytes as Latin-1 text are the same program.
        assert dozu.decode(data.decode("latin-1")).messages == mesh.messages


def test_bytes_that_are_not_a_program_load_with_the_warning(tmp_path):
    binary = tmp_path / "python.tpg"
    binary.write_bytes(pathlib.Path(os.__file__).read_bytes()[:4000].replace(b"\n", b"\x07"))
    mesh = dozu.load(binary)
    assert mesh.warnings[0] == "does not look like a dozu program: table cell 1 holds the byte 0x07"
    with pytest.raises(dozu.ProgramError, match="^warning: does not look like a dozu program"):
        dozu.load(binary, strict=True)

    empty = tmp_path / "empty.tpg"
    empty.write_bytes(b"")
    assert dozu.load(empty).warnings[0] == "does not look like a dozu program: its table ends before the 78th cell"


def test_what_cannot_be_a_program_is_refused_with_a_clear_error(tmp_path):
    with pytest.raises(FileNotFoundError):
        dozu.load(tmp_path / "missing.tpg")
    with pytest.raises(dozu.FileError, match="is not a regular file"):
        dozu.load(tmp_path)
    fifo = tmp_path / "fifo.tpg"
    os.mkfifo(fifo)
    with pytest.raises(dozu.FileError, match="is not a regular file"):
        dozu.load(fifo)  # and does not wait for a writer
    large = tmp_path / "large.tpg"
    with open(large, "wb") as f:
        f.truncate(16 * 1024 * 1024 + 1)
    with pytest.raises(dozu.FileError, match="larger than 16 MiB"):
        dozu.load(large)

    with pytest.raises(ValueError, match="Latin-1"):
        dozu.decode("* S4 R2 = B ^ \u2191 ")
    with pytest.raises(TypeError):
        dozu.decode(["*"])
    with pytest.raises(ValueError):
        dozu.decode("* ", max_quads=-1)

    # Millions of faulty lines: the first messages and the fatal error kept.
    many = dozu.decode("* S4 R2 = B " + "] " * 150_000 + "^ ")
    assert (len(many.messages), many.messages_left_out) == (100_000, 50_000)
    assert many.messages[-1] == (100_005, dozu.Kind.ERROR, "error: stack underflow, pop statement ignored")
    fatal = dozu.decode("* S4 R2 " + "] " * 150_000 + "^ ")
    assert fatal.messages[-1] == (150_004, dozu.Kind.FATAL, "fatal error: no 'first' statement before first step")
    assert fatal.fatal == fatal.messages[-1]

    if importlib.util.find_spec("trimesh") is None:
        with pytest.raises(ImportError, match="needs the trimesh module"):
            many.to_trimesh()
