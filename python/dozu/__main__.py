"""python3 -m dozu PROGRAM.tpg: decodes a program file and prints what the
editor shows of it: the status line's counts ("56 vertices, 54 quads"),
then the message list (the file's warnings, then each message with its
line). Exits with 1 after a fatal error, 2 when the file cannot be read.
"""

import argparse
import sys

from . import DEFAULT_MAX_QUADS, FileError, ProgramError, load


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python3 -m dozu", description="Decodes a dozu program file and prints its counts and messages."
    )
    parser.add_argument("program", metavar="PROGRAM", help="the program file (.tpg)")
    parser.add_argument("--lines", type=int, metavar="N", help="runs only the first N lines, as trace mode does")
    parser.add_argument(
        "--max-quads",
        type=int,
        default=DEFAULT_MAX_QUADS,
        metavar="N",
        help=f"stops a program whose mesh would hold more than N quads (default {DEFAULT_MAX_QUADS}, 0: no cap)",
    )
    options = parser.parse_args(argv)
    try:
        mesh = load(options.program, lines=options.lines, max_quads=options.max_quads)
    except ProgramError as e:
        mesh = e.mesh
    except (OSError, ValueError) as e:
        print(f"{parser.prog}: {e}", file=sys.stderr)
        return 2
    print(f"{len(mesh.vertices)} vertices, {len(mesh.quads)} quads")
    for warning in mesh.warnings:
        print(f"warning: {warning}")
    for message in mesh.messages:
        # A program without lines has no line to number, as in the editor.
        print(message if mesh.program else message.text)
    if mesh.messages_left_out:
        print(f"... and {mesh.messages_left_out} more messages")
    return 1 if mesh.fatal else 0


if __name__ == "__main__":
    sys.exit(main())
