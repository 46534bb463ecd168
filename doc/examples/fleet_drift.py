#!/usr/bin/python3
"""Checks a list of servers against the base that was commissioned.

    fleet_drift.py BASE.kdl HOST:PORT... [--values] [--timeout SECONDS]

Fetches each server's base and compares it with the file by identifier: records added,
removed, changed (with the fields) or moved. Values are left out unless --values is given,
as a running plant's values move all the time. Exits 0 when every server matches the file,
1 when one drifted, 3 when one could not be reached.
"""

import argparse
import sys

import kandrel


def report(base, server, drift):
    lines = []
    for key in ("added", "removed", "moved"):
        for id in drift[key]:
            side = server if key == "added" else base
            lines.append(f"  {key}: {side.record(id).path}")
    for change in drift["changed"]:
        lines.append(f"  changed: {base.record(change['id']).path} ({', '.join(change['fields'])})")
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("base")
    parser.add_argument("servers", nargs="+", metavar="HOST:PORT")
    parser.add_argument("--values", action="store_true")
    parser.add_argument("--timeout", type=float, default=60)
    args = parser.parse_args()
    try:
        base = kandrel.open(args.base)
    except kandrel.Error as e:
        sys.exit(f"fleet_drift: {e}")
    status = 0
    for server in args.servers:
        host, _, port = server.rpartition(":")
        try:
            live = kandrel.fetch(host, int(port), timeout=args.timeout)
        except (kandrel.Error, ValueError) as e:
            print(f"{server}: UNREACHABLE: {e}")
            status = 3
            continue
        drift = kandrel.diff(base, live, ignore_values=not args.values)
        lines = report(base, live, drift)
        print(f"{server}: {'DRIFT, ' + str(len(lines)) + ' differences' if lines else 'matches'}")
        for line in lines:
            print(line)
        if lines and status == 0:
            status = 1
    sys.exit(status)


if __name__ == "__main__":
    main()
