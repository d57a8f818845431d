# The module against dozu-cli: every example loaded, a thousand random
# programs decoded (whole and in trace mode), the quad cap, two threads at
# once, and python3 -m dozu.
import random
import subprocess
import sys
import threading

import dozu
import numpy as np
import pytest
from conftest import EXAMPLES, expect_as_cli


@pytest.mark.parametrize("example", EXAMPLES, ids=lambda p: p.stem)
def test_every_example_loads_as_dozu_cli_writes_it(example, cli_run):
    mesh = dozu.load(example)
    expect_as_cli(mesh, cli_run(example))
    assert mesh.name == example.stem
    assert mesh.vertices.dtype == mesh.normals.dtype == np.float32
    assert mesh.quads.dtype == mesh.triangles().dtype == np.int32
    np.testing.assert_allclose(np.linalg.norm(mesh.normals, axis=1), 1, rtol=1e-6)


BODY = ["R-2", "R2", "S-4", "S4", "Y-2", "Y2", "Y-C", "YC", "p", "q", "B", "T", "[", "]"]
BODY += ["^"] * 4 + ["V", "=", "*", "X"]


def random_program(rng):
    """Lines of the default buttons and X, O, +: most start as a model does,
    some parameters take any hexadecimal value."""

    def hexadecimal():
        digits = "".join(rng.choice("0123456789ABCDEF") for _ in range(1 + rng.randrange(8 if rng.random() < 0.1 else 3)))
        return ("-" if rng.random() < 0.25 else "") + digits

    lines = []
    if rng.random() < 0.8:
        lines = ["*", "S4", "R2"] + rng.choices(["R2", "S4"], k=rng.randrange(3)) + ["="]
        lines += ["B"] if rng.random() < 0.5 else []
    for _ in range(1 + rng.randrange(120 if rng.random() < 0.25 else 40)):
        r = rng.randrange(150)
        lines.append(rng.choice("O+YR") + hexadecimal() if r < 12 else rng.choice(BODY))
    lines += ["T"] * (rng.random() < 0.3) + ["D"] * rng.choice([0, 0, 1, 2])
    return lines


def test_random_programs_decode_as_dozu_cli_runs_them(tmp_path, cli_run):
    rng = random.Random(27)
    text_file = tmp_path / "program.txt"
    for case in range(1000):
        lines = random_program(rng)
        text_file.write_text("\n".join(lines), encoding="latin-1")
        text = "".join(line + " " for line in lines)
        # Every tenth in trace mode, up to a line somewhere inside; every
        # tenth of the others under a small cap.
        trace = rng.randrange(1, len(lines) + 1) if case % 10 == 0 else None
        cap = rng.choice([8, 40, 200, 1000]) if case % 10 == 5 else None
        options = ["--text"] + (["--lines", str(trace)] if trace else []) + (["--max-quads", str(cap)] if cap else [])
        try:
            cli = cli_run(text_file, *options)
            try:
                expect_as_cli(dozu.decode(text, lines=trace, max_quads=cap), cli)
            except dozu.ProgramError as e:  # stopped by the cap: no file written
                assert not cli.written and str(e).startswith("mesh too large")
                assert [(m.line, m.text) for m in e.mesh.messages] == cli.messages
        except AssertionError as e:
            raise AssertionError(f"program {text!r}, lines {trace}, cap {cap}") from e


def test_the_quad_cap_stops_a_decode_before_its_mesh_is_made():
    chain = "* S4 R2 = B " + "^ " * 100 + "T "  # 406 quads, then 4 times as many at each D
    with pytest.raises(dozu.ProgramError, match=r"^mesh too large: more than 2097152 quads \(line 113\)") as e:
        dozu.decode(chain + "D " * 7)  # the 2,097,152 quads of the thumbnails' cap
    assert len(e.value.mesh.quads) == 406 * 4**6
    with pytest.raises(dozu.ProgramError, match=r"more than 1000000 quads \(line 112\)"):
        dozu.decode(chain + "D " * 6, max_quads=1_000_000)
    assert len(dozu.decode(chain + "D " * 6, max_quads=406 * 4**6).quads) == 406 * 4**6
    with pytest.raises(dozu.ProgramError, match="more than 400 quads"):
        dozu.decode(chain, max_quads=400)


def test_two_threads_decode_as_one_does():
    rock, blob = (dozu.load(p) for p in EXAMPLES if p.stem in ("rock", "blob"))  # rock draws random numbers
    found = {rock.name: [], blob.name: []}
    threads = [
        threading.Thread(target=lambda m=m: found[m.name].extend(dozu.decode(m.program) for _ in range(25)))
        for m in (rock, blob)
    ]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for alone in (rock, blob):
        for mesh in found[alone.name]:
            np.testing.assert_array_equal(mesh.vertices, alone.vertices)
            np.testing.assert_array_equal(mesh.quads, alone.quads)


def run_module(*args):
    return subprocess.run([sys.executable, "-m", "dozu", *map(str, args)], capture_output=True, text=True)


def test_python_m_dozu_prints_the_status_line_and_the_messages(tmp_path):
    chain = next(p for p in EXAMPLES if p.stem == "chain")
    done = run_module(chain)
    assert (done.returncode, done.stdout) == (0, "56 vertices, 54 quads\n")

    # init grow_s grow_r first _ ^ subdiv ^: a step after the subdivision.
    fatal = tmp_path / "fatal.tpg"
    fatal.write_bytes(chain.read_bytes()[:423] + bytes([1, 6, 4, 2, 13, 17, 19, 17]))
    done = run_module(fatal)
    assert done.returncode == 1
    assert done.stdout.splitlines() == [
        "25 vertices, 20 quads",
        "8: fatal error: statement not allowed after 'subdiv', ignored",
    ]

    done = run_module(tmp_path / "missing.tpg")
    assert done.returncode == 2 and "missing.tpg" in done.stderr and "Traceback" not in done.stderr
