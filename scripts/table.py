#!/usr/bin/env python3
"""Prints a benchmark's figures as a table.

    scripts/table.py FILE TAG HEADING...

Reads the lines of FILE that start with TAG and a tab; the fields after the
tag are the cells, one per HEADING. Columns of numbers are aligned right,
the others left.
"""
import sys


def is_number(cell):
    try:
        float(cell)
        return True
    except ValueError:
        return False


def main(path, tag, *head):
    rows = [line.rstrip("\n").split("\t")[1:] for line in open(path) if line.startswith(tag + "\t")]
    rows = [(r + [""] * len(head))[: len(head)] for r in rows]
    columns = range(len(head))
    widths = [max(len(r[i]) for r in rows + [list(head)]) for i in columns]
    numeric = [bool(rows) and all(is_number(r[i]) for r in rows) for i in columns]
    for r in [list(head)] + rows:
        cells = (c.rjust(w) if right else c.ljust(w) for c, w, right in zip(r, widths, numeric))
        print("  ".join(cells).rstrip())


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit("usage: table.py FILE TAG HEADING...")
    main(*sys.argv[1:])
