"""Reading: every field of every record equals what `kandrel-cli dump` prints of the same file."""

import pytest

import kandrel
from conftest import dump

TYPE_NAMES = ["BIN", "BYTE", "SHORT", "INT", "FLOAT", "DOUBLE", "DATETIME", "LINK_TO", "FILE"]


def check_record(rec, want, parent):
    assert rec.kind == want["kind"]
    assert rec.id == want["id"]
    assert rec.name == want["name"]
    assert rec.parent == parent
    path = (parent.path if parent else "") + "/" + want["name"]
    assert rec.path == path
    if want["kind"] == "property":
        assert rec.type == (TYPE_NAMES[want["type"]] if want["type"] < 9 else "UNKNOWN")
        assert rec.value == want["value"]
        assert rec.raw == want["raw"]
        assert rec.eoc == want["eoc"]
        assert rec.flags == {bit + 1 for bit in range(8) if want["flags"] >> bit & 1}
        assert sorted(r.id for r in rec.incoming) == sorted(want["incoming"])
        assert rec.children == []
        target = rec.link
        if rec.type != "LINK_TO":
            assert target is None
        elif target is not None and target.kind == "property":
            assert rec in target.incoming
        return [rec]
    children = want["properties"] if want["kind"] == "atom" else want["children"]
    if want["kind"] == "atom":
        assert rec.type == want["type"]
    else:
        assert rec.type is None and rec.value is None and rec.flags is None
    assert [c.id for c in rec.children] == [c["id"] for c in children]
    walked = [rec]
    for child, expected in zip(rec.children, children):
        walked += check_record(child, expected, rec)
    return walked


def test_every_field_equals_the_dump(bases):
    assert len(bases) == 4
    for path in bases:
        want = dump(path)
        doc = kandrel.open(str(path))
        assert doc.path == str(path)
        assert doc.last_id == want["lastId"]
        walked = []
        assert [g.id for g in doc.groups] == [g["id"] for g in want["groups"]]
        for group, expected in zip(doc.groups, want["groups"]):
            walked += check_record(group, expected, None)
        # walk() is the same tree order; len() counts it; record() and find() lead back.
        assert list(doc.walk()) == walked
        assert len(doc) == len(walked)
        for rec in walked[::37]:
            assert doc.record(rec.id) == rec
            found = doc.find(rec.path)
            assert found is not None and found.path == rec.path
        atom = next(r for r in walked if r.kind == "atom" and r.children)
        assert list(doc.walk(atom)) == [atom] + atom.children


def test_lookups_that_find_nothing():
    doc = kandrel.Document()
    assert [g.name for g in doc.groups] == ["Hardware", "Logic", "Network"]
    assert len(doc) == 3
    assert doc.find("/Hardware/nothing") is None
    assert doc.find("/Ω") is None  # a path windows-1251 cannot hold names nothing
    with pytest.raises(KeyError):
        doc.record(60000)
    with pytest.raises(KeyError):
        doc.record(0)


def test_handles_compare_by_record_and_show_their_path():
    doc = kandrel.Document()
    a = doc.groups[0].add_object("Шкаф 1")
    assert a == doc.find("/Hardware/Шкаф 1")
    assert a != doc.groups[0] and a != "Шкаф 1"
    assert len({a, doc.record(a.id)}) == 1
    assert "object" in repr(a) and "/Hardware/Шкаф 1" in repr(a)
    assert a.document is doc


def test_help_reads_well():
    for thing in (kandrel, kandrel.Document, kandrel.Record, kandrel.open, kandrel.diff,
                  kandrel.fetch, kandrel.watch, kandrel.Error, kandrel.EditError):
        assert thing.__doc__ and len(thing.__doc__.strip()) > 20, thing
    for name in ("name", "value", "flags", "link", "incoming", "add_property", "move"):
        assert getattr(kandrel.Record, name).__doc__, name
