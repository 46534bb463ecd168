"""Undo and redo of a script's edits, one step each or one per `with doc.edit()` block."""

import pytest

import kandrel


def state(doc):
    return [(r.id, r.path, r.type, r.value, r.flags, r.eoc) for r in doc.walk()]


def test_each_edit_is_one_step_and_undo_brings_everything_back(sample):
    doc = kandrel.open(sample)
    original = state(doc)
    assert not doc.can_undo and not doc.undo()
    atom = next(r for r in doc.walk() if r.kind == "atom" and len(r.children) > 1)
    prop = atom.children[0]
    states = [original]
    edits = [
        lambda: setattr(prop, "value", "17"),
        lambda: setattr(prop, "flags", {2, 5}),
        lambda: setattr(atom, "name", "Переименован"),
        lambda: atom.add_property("New", "INT", 3),
        lambda: atom.copy_to(atom.parent),
        lambda: atom.move(doc.groups[1].add_object("Elsewhere")),  # two steps: add, move
        lambda: atom.parent.delete(),
    ]
    for edit in edits:
        edit()
        states.append(state(doc))
    steps = len(edits) + 1
    for i in range(steps):
        assert doc.undo()
        if i == 0:
            # The deleted branch is back, and so are handles into it.
            assert atom.name == "Переименован"
    assert state(doc) == original and not doc.undo()
    for i in range(steps):
        assert doc.redo()
    assert state(doc) == states[-1] and not doc.redo()
    # A record the undo takes away raises through its handle until a redo brings it back.
    made = doc.groups[0].add_object("Made")
    doc.undo()
    with pytest.raises(kandrel.DeletedRecordError):
        made.name
    doc.redo()
    assert made.path == "/Hardware/Made"


def test_an_edit_block_is_one_step(sample):
    doc = kandrel.open(sample)
    original = state(doc)
    group = doc.groups[0]
    with doc.edit("Rename all") as block:
        assert isinstance(block, kandrel.EditBlock)
        for rec in list(doc.walk(group))[1:50]:
            rec.name = rec.name + " new"
        with doc.edit("inner"):  # joins the outer block
            group.add_object("Added")
        with pytest.raises(kandrel.EditError) as caught:
            doc.undo()
        assert caught.value.reason == "in-step"
    assert doc.undo_label == "Rename all"
    changed = state(doc)
    assert doc.undo() and state(doc) == original and not doc.can_undo
    assert doc.redo() and state(doc) == changed
    # A new edit forgets what was undone.
    doc.undo()
    group.add_object("Other")
    assert not doc.can_redo


def test_an_exception_leaving_a_block_takes_its_edits_back(sample):
    doc = kandrel.open(sample)
    original = state(doc)
    with pytest.raises(RuntimeError):
        with doc.edit():
            doc.groups[0].add_object("Half")
            doc.groups[0].name = "Half done"
            raise RuntimeError("stop")
    assert state(doc) == original and not doc.can_undo
    # A refused edit inside a block changes nothing and the block goes on.
    with doc.edit():
        cabinet = doc.groups[0].add_object("Cabinet")
        with pytest.raises(kandrel.EditError):
            cabinet.add_property("P", "SHORT")
        cabinet.add_atom("A")
    assert doc.undo() and state(doc) == original
