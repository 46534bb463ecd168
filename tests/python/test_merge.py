"""kandrel.merge: the three-way merge the command line does, and settling its conflicts."""

import json

import pytest

import kandrel
from conftest import cli


def test_merge_reports_what_the_command_line_reports_and_takes_sides(tmp_path):
    base = kandrel.Document()
    atom = base.groups[0].add_object("Pump").add_atom("AI")
    atom.add_property("Speed", "INT", 10)
    atom.add_property("Limit", "INT", 50)
    base.save(tmp_path / "base.kdl")
    ours, theirs = kandrel.open(tmp_path / "base.kdl"), kandrel.open(tmp_path / "base.kdl")
    ours.find("/Hardware/Pump/AI/Speed").value = 20
    theirs.find("/Hardware/Pump/AI/Speed").value = 30
    theirs.find("/Hardware/Pump/AI/Limit").value = 70  # only theirs: taken without conflict
    theirs.find("/Hardware/Pump").add_object("Valve")
    ours.save(tmp_path / "ours.kdl")
    theirs.save(tmp_path / "theirs.kdl")

    result = kandrel.merge(tmp_path / "base.kdl", ours, str(tmp_path / "theirs.kdl"))
    want = json.loads(cli("merge", tmp_path / "base.kdl", tmp_path / "ours.kdl",
                          tmp_path / "theirs.kdl", "-o", tmp_path / "cli.kdl", "--json",
                          check=False).stdout)
    assert [{"id": c.id, "path": c.path, "field": c.field, "base": c.base, "ours": c.ours,
             "theirs": c.theirs} for c in result.conflicts] == want["conflicts"]
    assert [list(r) for r in result.renumbered] == [[n["from"], n["to"]] for n in want["renumbered"]]
    assert not result.clean and len(result.conflicts) == 1
    merged = result.document
    assert kandrel.diff(merged, tmp_path / "cli.kdl") == {
        "added": [], "removed": [], "changed": [], "moved": []}
    speed = merged.find("/Hardware/Pump/AI/Speed")
    assert (speed.value, merged.find("/Hardware/Pump/AI/Limit").value) == ("20", "70")
    assert merged.find("/Hardware/Pump/Valve") is not None

    conflict = result.conflicts[0]
    assert (conflict.field, conflict.record) == ("value", speed)
    assert conflict.take("theirs") and speed.value == "30"
    assert not conflict.take("theirs")
    with pytest.raises(ValueError):
        conflict.take("mine")
    assert kandrel.merge(base, base, base).clean
