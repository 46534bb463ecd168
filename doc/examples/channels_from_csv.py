#!/usr/bin/python3
"""Generates the channels of an I/O list into a base.

    channels_from_csv.py IO_LIST.csv BASE.kdl OUT.kdl [--under /Hardware]

Each row (cabinet, channel, kind, type, unit, low, high) becomes an atom named after the
channel, in an object per cabinet, holding the properties Value, Unit, Low and High. A cabinet
or channel that is already there is reused, so running the script again after the list grew
adds only the new channels.
"""

import argparse
import csv
import sys

import kandrel

# The atom type of each kind of channel.
ATOM_TYPES = {"AI": 1, "AO": 2, "DI": 3, "DO": 4}


def child(parent, name):
    return next((c for c in parent.children if c.name == name), None)


def generate(doc, rows, under):
    root = doc.find(under)
    if root is None:
        raise SystemExit(f"{under}: no such record in the base")
    made = 0
    for row in rows:
        cabinet = child(root, row["cabinet"]) or root.add_object(row["cabinet"])
        if child(cabinet, row["channel"]):
            continue
        atom = cabinet.add_atom(row["channel"], type=ATOM_TYPES[row["kind"]])
        atom.add_property("Value", row["type"], row["low"])
        atom.add_property("Unit", "BIN", row["unit"])
        atom.add_property("Low", row["type"], row["low"])
        atom.add_property("High", row["type"], row["high"])
        made += 1
    return made


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("io_list")
    parser.add_argument("base")
    parser.add_argument("out")
    parser.add_argument("--under", default="/Hardware")
    args = parser.parse_args()
    with open(args.io_list, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    try:
        doc = kandrel.open(args.base)
        made = generate(doc, rows, args.under)
        doc.save(args.out)
    except kandrel.Error as e:
        sys.exit(f"channels_from_csv: {e}")
    print(f"{made} channels made, {len(rows) - made} already there")


if __name__ == "__main__":
    main()
