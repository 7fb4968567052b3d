#!/usr/bin/env python3
"""Writes the program's face-mark file from its readable list.

usage: facemark_pad.py LIST OUT

LIST is UTF-8, one face mark a line; lines starting with "#" and empty lines
are left out. OUT is what the face-mark pad reads: UTF-16LE without a byte
order mark, every line ended by CR LF (a last line without it would not be
read). A mark longer than the pad's line, or one that Shift_JIS cannot carry,
fails the build rather than reach the device cut or garbled.
"""
import sys

LINE_MAX = 127  # UTF-16 units a line of the pad holds


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    marks = []
    with open(argv[1], encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            mark = line.rstrip("\r\n")
            if not mark or mark.startswith("#"):
                continue
            units = len(mark.encode("utf-16-le")) // 2
            if units > LINE_MAX:
                sys.exit(f"{argv[1]}:{number}: {units} units, the pad holds {LINE_MAX}")
            try:
                mark.encode("cp932")
            except UnicodeEncodeError as e:
                sys.exit(f"{argv[1]}:{number}: not in Shift_JIS: {e}")
            marks.append(mark)
    if not marks:
        sys.exit(f"{argv[1]}: no face marks")
    with open(argv[2], "wb") as out:
        out.write("".join(m + "\r\n" for m in marks).encode("utf-16-le"))


if __name__ == "__main__":
    main(sys.argv)
