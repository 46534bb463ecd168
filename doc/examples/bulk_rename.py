#!/usr/bin/python3
"""Renames every record under a branch whose name holds a text.

    bulk_rename.py BASE.kdl BRANCH OLD NEW [-o OUT.kdl] [--dry-run]

For example `bulk_rename.py plant.kdl "/Hardware/Line 2" "L1-" "L2-"` after copying line 1.
Every rename is checked by the same rules as the editor's form (a name that windows-1251
cannot hold is refused, and nothing is saved).
"""

import argparse
import sys

import kandrel


def rename(doc, branch, old, new):
    renamed = []
    # One undo step; a refused name takes back the renames made before it.
    with doc.edit(f"Rename {old} to {new}"):
        for rec in doc.walk(branch):
            if rec != branch and old in rec.name:
                before = rec.path
                rec.name = rec.name.replace(old, new)
                renamed.append((before, rec.path))
    return renamed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("base")
    parser.add_argument("branch")
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("-o", "--out")
    parser.add_argument("--dry-run", action="store_true")
    args = parser.parse_args()
    try:
        doc = kandrel.open(args.base)
        branch = doc.find(args.branch)
        if branch is None:
            sys.exit(f"bulk_rename: {args.branch}: no such record in {args.base}")
        renamed = rename(doc, branch, args.old, args.new)
        for before, after in renamed:
            print(f"{before} -> {after}")
        if not args.dry_run:
            doc.save(args.out or args.base)
    except kandrel.Error as e:
        sys.exit(f"bulk_rename: {e}")
    print(f"{len(renamed)} records renamed")


if __name__ == "__main__":
    main()
