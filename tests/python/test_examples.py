"""The examples of doc/examples, run as a user runs them."""

import os
import pathlib
import subprocess
import sys

import kandrel
from conftest import Sim

EXAMPLES = pathlib.Path(os.environ.get("KANDREL_EXAMPLES", "../../doc/examples"))


def run(script, *args):
    return subprocess.run([sys.executable, str(EXAMPLES / script), *map(str, args)],
                          capture_output=True, text=True, timeout=300)


def test_channels_from_a_csv_io_list(tmp_path):
    base = tmp_path / "plant.kdl"
    kandrel.Document().save(base)
    out = tmp_path / "out.kdl"
    first = run("channels_from_csv.py", EXAMPLES / "io_list.csv", base, out)
    assert first.returncode == 0, first.stderr
    assert first.stdout == "8 channels made, 0 already there\n"
    doc = kandrel.open(out)
    speed = doc.find("/Hardware/Cabinet 2/P-210 speed")
    assert speed.type == 2
    assert [(p.name, p.type, p.value) for p in speed.children] == [
        ("Value", "SHORT", "0"), ("Unit", "BIN", "%"), ("Low", "SHORT", "0"),
        ("High", "SHORT", "100")]
    assert doc.find("/Hardware/Cabinet 2/FT-201/Unit").value == "m3/h"
    again = run("channels_from_csv.py", EXAMPLES / "io_list.csv", out, out)
    assert again.stdout == "0 channels made, 8 already there\n"
    assert len(kandrel.open(out)) == len(doc)


def test_bulk_rename_under_a_branch(tmp_path):
    doc = kandrel.Document()
    for line in ("Line 1", "Line 2"):
        obj = doc.groups[0].add_object(line)
        atom = obj.add_object("L1-Pump").add_atom("L1-Speed")
        atom.add_property("L1-Value", "SHORT", 5)
    base = tmp_path / "plant.kdl"
    doc.save(base)
    renamed = run("bulk_rename.py", base, "/Hardware/Line 2", "L1-", "L2-")
    assert renamed.returncode == 0, renamed.stderr
    after = kandrel.open(base)
    names = [r.path for r in after.walk() if "Line" in r.path]
    assert names == ["/Hardware/Line 1", "/Hardware/Line 1/L1-Pump", "/Hardware/Line 1/L1-Pump/L1-Speed",
                     "/Hardware/Line 1/L1-Pump/L1-Speed/L1-Value",
                     "/Hardware/Line 2", "/Hardware/Line 2/L2-Pump", "/Hardware/Line 2/L2-Pump/L2-Speed",
                     "/Hardware/Line 2/L2-Pump/L2-Speed/L2-Value"]
    assert renamed.stdout.endswith("3 records renamed\n")
    # A name windows-1251 cannot hold is refused and nothing is saved.
    refused = run("bulk_rename.py", base, "/Hardware/Line 1", "L1-", "Ω-")
    assert refused.returncode == 1 and "windows-1251" in refused.stderr
    assert kandrel.open(base).find("/Hardware/Line 1/L1-Pump") is not None


def test_fleet_drift_report(sample, tmp_path):
    drifted = kandrel.open(sample)
    atom = next(r for r in drifted.walk() if r.kind == "atom")
    atom.name = "Renamed"
    drifted_file = tmp_path / "drifted.kdl"
    drifted.save(drifted_file)
    matching, drifting = Sim(sample), Sim(drifted_file)
    try:
        with __import__("socket").socket() as s:
            s.bind(("127.0.0.1", 0))
            nobody = s.getsockname()[1]
        servers = [f"127.0.0.1:{matching.port}", f"127.0.0.1:{drifting.port}"]
        checked = run("fleet_drift.py", sample, *servers, "--timeout", "30")
        assert checked.returncode == 1, checked.stderr
        lines = checked.stdout.splitlines()
        assert lines[0] == f"{servers[0]}: matches"
        assert lines[1] == f"{servers[1]}: DRIFT, 1 differences"
        assert lines[2] == f"  changed: {atom.path.rsplit('/', 1)[0]}/{kandrel.open(sample).record(atom.id).name} (name)"
        unreachable = run("fleet_drift.py", sample, servers[0], f"127.0.0.1:{nobody}", "--timeout", "5")
        assert unreachable.returncode == 3
        assert f"127.0.0.1:{nobody}: UNREACHABLE" in unreachable.stdout
    finally:
        matching.stop()
        drifting.stop()
