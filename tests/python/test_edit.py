"""Editing through the module: the editor's edit functions, their refusals, and handles of
records that are gone."""

import pytest

import kandrel


@pytest.fixture
def doc():
    """A new base with an object holding an atom of three properties."""
    d = kandrel.Document()
    cabinet = d.groups[0].add_object("Cabinet")
    atom = cabinet.add_atom("AI 1", type=5)
    atom.add_property("Value", "SHORT", "12.5")
    atom.add_property("Limit", "FLOAT", 100)
    atom.add_property("DecPoint", "SHORT", 1)
    return d


def test_made_records_take_their_fields_and_places(doc):
    atom = doc.find("/Hardware/Cabinet/AI 1")
    assert atom.kind == "atom" and atom.type == 5
    assert [p.name for p in atom.children] == ["Value", "Limit", "DecPoint"]
    value = atom.children[0]
    assert (value.type, value.value, value.flags, value.eoc) == ("SHORT", "12.5", set(), False)
    group = doc.add_group("Спец")
    assert doc.groups[-1] == group and group.path == "/Спец"
    ids = [r.id for r in doc.walk()]
    assert len(set(ids)) == len(ids) and doc.last_id == max(ids)


def test_assignments_follow_the_form(doc, tmp_path):
    value = doc.find("/Hardware/Cabinet/AI 1/Value")
    value.value = "7.5"
    # The form rounds a SHORT; its DecPoint takes effect once the tree is rebuilt (an open).
    assert value.value == "7.5" and value.raw == 8
    value.parent.children[2].value = 5  # two decimal places for the properties before it
    doc.save(tmp_path / "scaled.kdl")
    reopened = kandrel.open(tmp_path / "scaled.kdl").find(value.path)
    reopened.value = "7.5"
    assert reopened.raw == 750
    value.type = "INT"
    value.value = 42
    assert (value.type, value.raw) == ("INT", 42)
    value.flags = [1, 3, 6]
    assert value.flags == {1, 3, 6}
    value.flags = set()
    assert value.flags == set()
    value.name = "Значение"
    assert value.path == "/Hardware/Cabinet/AI 1/Значение"
    atom = value.parent
    atom.type = -3
    atom.name = "AI 2"
    assert (atom.type, value.path) == (-3, "/Hardware/Cabinet/AI 2/Значение")


def test_links_are_booked_on_both_sides(doc):
    atom = doc.find("/Hardware/Cabinet/AI 1")
    value, limit = atom.children[0], atom.children[1]
    link = atom.add_property("Source", "LINK_TO", limit.id)
    assert link.link == limit and limit.incoming == [link]
    link.link = value
    assert link.type == "LINK_TO" and link.value == str(value.id)
    assert limit.incoming == [] and value.incoming == [link]
    # End of chain: the form edits the value at the end of the link chain.
    link.eoc = True
    link.value = "3.5"
    assert value.value == "3.5" and link.value == str(value.id)
    link.eoc = False
    link.link = None
    assert link.type == "SHORT" and link.link is None and value.incoming == []
    # Deleting a target turns the links into it into BIN properties.
    link.link = limit
    limit.delete()
    assert link.type == "BIN"


def test_moves_and_copies(doc):
    hardware, logic = doc.groups[0], doc.groups[1]
    cabinet = hardware.children[0]
    second = hardware.add_object("Cabinet 2")
    cabinet.move(logic)
    assert cabinet.parent == logic and cabinet.path == "/Logic/Cabinet"
    cabinet.move(hardware, 0)
    assert [c.name for c in hardware.children] == ["Cabinet", "Cabinet 2"]
    second.move(hardware, 0)
    assert [c.name for c in hardware.children] == ["Cabinet 2", "Cabinet"]
    logic.move(None, 0)
    assert [g.name for g in doc.groups] == ["Logic", "Hardware", "Network"]
    copy = cabinet.copy_to(second)
    assert copy.path == "/Hardware/Cabinet 2/Cabinet" and copy.id != cabinet.id
    assert [p.value for p in doc.walk(copy) if p.kind == "property"] == [
        p.value for p in doc.walk(cabinet) if p.kind == "property"]


def test_refusals_change_nothing(doc):
    hardware = doc.groups[0]
    cabinet = hardware.children[0]
    atom = cabinet.children[0]
    prop = atom.children[0]
    before = [(r.id, r.path, r.value) for r in doc.walk()]
    cases = [
        (lambda: hardware.add_atom("A"), "wrong-kind"),        # atoms stand in objects
        (lambda: prop.add_object("O"), "wrong-kind"),
        (lambda: atom.add_object("O"), "wrong-kind"),
        (lambda: cabinet.add_property("P", "SHORT"), "wrong-kind"),
        (lambda: cabinet.move(atom), "wrong-kind"),
        (lambda: cabinet.move(cabinet.add_object("Inner")), "own-branch"),
        (lambda: hardware.move(doc.groups[1]), "wrong-kind"),
        (lambda: hardware.copy_to(doc.groups[1]), "wrong-kind"),
        (lambda: setattr(cabinet, "name", "Ω-meter"), "encoding"),
        (lambda: atom.add_property("P", "SHORT", "∞"), "encoding"),
        (lambda: setattr(prop, "type", "LINK_TO"), "link-target"),  # "1" names nothing... see below
        (lambda: atom.add_property("P", "LINK_TO", 65000), "link-target"),
        (lambda: setattr(prop, "type", "WORD"), "value"),
        (lambda: setattr(atom, "type", 300), "value"),
        (lambda: setattr(prop, "flags", {7}), "value"),
        (lambda: setattr(atom, "value", "1"), "wrong-kind"),
        (lambda: setattr(cabinet, "link", prop), "wrong-kind"),
        (lambda: setattr(prop, "link", atom), "wrong-kind"),  # links point at properties
        (lambda: setattr(prop, "link", kandrel.Document().groups[0]), "no-record"),
    ]
    prop.value = 65001  # a value that names no record, for the LINK_TO case
    before = [(r.id, r.path, r.value) for r in doc.walk() if r.name != "Inner"]
    for edit, reason in cases:
        with pytest.raises(kandrel.EditError) as caught:
            edit()
        assert caught.value.reason == reason, (reason, str(caught.value))
        assert caught.value.cause and isinstance(caught.value, kandrel.Error)
    assert [(r.id, r.path, r.value) for r in doc.walk() if r.name != "Inner"] == before
    with pytest.raises(TypeError):
        prop.value = None
    with pytest.raises(TypeError):
        atom.type = "5"


def test_a_deleted_records_handle_raises(doc):
    cabinet = doc.find("/Hardware/Cabinet")
    atom = cabinet.children[0]
    props = atom.children
    walk = doc.walk()
    first = next(walk)
    cabinet.delete()
    assert doc.find("/Hardware/Cabinet") is None
    for handle in [cabinet, atom] + props:
        for use in (lambda h: h.name, lambda h: h.value, lambda h: h.parent,
                    lambda h: setattr(h, "name", "x"), lambda h: h.delete(), repr):
            with pytest.raises(kandrel.DeletedRecordError) as caught:
                use(handle)
            assert isinstance(caught.value, ReferenceError)
    # A walk begun before goes on over the records that are left.
    assert first.name == "Hardware"
    assert [r.name for r in walk] == ["Logic", "Network"]
    # A handle keeps its document alive.
    group = kandrel.Document().groups[2]
    assert group.name == "Network" and len(group.document) == 3
