"""Files: open and save, XML export and import, c2ko import, and diff, with their failures as
exceptions that name the file and the cause."""

import csv
import io
import json
import os

import pytest

import kandrel
from conftest import cli, dump

C2KO = (b"O}{Pump}\n A}{AI}\nP}{Speed}{-}{1}{0}{0}{0}{0}{1}{-}{int}{-}{1}{-}{-}{42}\n"
        b"O}{Second}\n")


def test_save_and_open_keep_every_record(sample, tmp_path):
    doc = kandrel.open(sample)
    doc.find("/Hardware").add_object("Новый шкаф")
    out = tmp_path / "out.kdl"
    doc.save(out)
    assert doc.path == str(out)
    doc.save()  # to the file it came from last
    again = kandrel.open(str(out))
    assert [(r.id, r.path, r.value) for r in again.walk()] == [
        (r.id, r.path, r.value) for r in doc.walk()]
    assert dump(out) == dump(doc.path)


def test_files_that_cannot_be_read_or_written(tmp_path):
    garbage = tmp_path / "garbage.kdl"
    garbage.write_bytes(b"\x07not a base at all" * 10)
    readonly = tmp_path / "readonly.kdl"
    kandrel.Document().save(readonly)
    readonly.chmod(0o444)
    cases = [
        (lambda: kandrel.open(tmp_path / "missing.kdl"), tmp_path / "missing.kdl"),
        (lambda: kandrel.open(garbage), garbage),
        (lambda: kandrel.open(tmp_path), tmp_path),  # a folder
        (lambda: kandrel.Document().save(tmp_path / "no" / "such" / "dir.kdl"),
         tmp_path / "no" / "such" / "dir.kdl"),
        (lambda: kandrel.Document().export_xml(tmp_path / "none" / "x.xml"),
         tmp_path / "none" / "x.xml"),
        (lambda: kandrel.Document().import_xml(garbage), garbage),
        (lambda: kandrel.Document().import_xml(tmp_path / "missing.xml"), tmp_path / "missing.xml"),
    ]
    if os.geteuid() != 0:  # root writes anyway
        cases.append((lambda: kandrel.Document().save(readonly), readonly))
    for action, path in cases:
        with pytest.raises(kandrel.FileError) as caught:
            action()
        e = caught.value
        assert e.file == str(path) and e.cause and str(path) in str(e), str(e)
    with pytest.raises(kandrel.FileError) as caught:
        kandrel.Document().save()
    assert caught.value.file is None


def test_xml_round_trip_and_branch_import(sample, tmp_path):
    doc = kandrel.open(sample)
    xml = tmp_path / "all.xml"
    doc.export_xml(xml)
    # The same bytes the command line writes.
    cli("export", sample, tmp_path / "cli.xml")
    assert xml.read_bytes().split(b"\n", 3)[3] == (tmp_path / "cli.xml").read_bytes().split(b"\n", 3)[3]
    atom = next(r for r in doc.walk() if r.kind == "atom" and len(r.children) > 2)
    branch = tmp_path / "atom.xml"
    doc.export_xml(branch, record=atom)
    target = kandrel.Document()
    holder = target.groups[0].add_object("Holder")
    counts = target.import_xml(branch, target=holder)
    assert counts["copied"] >= 1
    copied = holder.children[0]
    assert (copied.name, [p.name for p in copied.children]) == (
        atom.name, [p.name for p in atom.children])
    # The whole file under the top level gives back every group.
    whole = kandrel.Document()
    whole.import_xml(xml)
    assert [g.name for g in whole.groups][3:] == [g.name for g in doc.groups]


def test_c2ko_import(tmp_path):
    text = tmp_path / "pump.c2ko"
    text.write_bytes(C2KO)
    doc = kandrel.Document()
    counts = doc.import_c2ko(text, doc.groups[0])
    assert counts == {"objects": 2, "atoms": 1, "properties": 1}
    speed = doc.find("/Hardware/Pump/AI/Speed")
    assert (speed.type, speed.value) == ("INT", "42")
    with pytest.raises(kandrel.EditError):
        doc.import_c2ko(text, speed.parent)  # an atom holds no objects
    with pytest.raises(kandrel.FileError) as caught:
        doc.import_c2ko(tmp_path / "missing.c2ko", doc.groups[0])
    assert "missing.c2ko" in str(caught.value)
    # A file that fails half way leaves nothing behind.
    broken = tmp_path / "broken.c2ko"
    broken.write_bytes(C2KO + b"P}{Bad}{-}{1}{0}{0}{0}{0}{1}{-}{int}{-}{2}{-}{-}{1}\n")
    before = [(r.id, r.path) for r in doc.walk()]
    with pytest.raises(kandrel.FileError) as caught:
        doc.import_c2ko(broken, doc.groups[1])
    assert "line 5" in str(caught.value)
    assert [(r.id, r.path) for r in doc.walk()] == before


def test_diff_is_what_the_command_line_prints(bases, tmp_path):
    first = str(bases[0])
    for second in bases[1:]:
        for by in ("id", "path"):
            for ignore in (False, True):
                args = ["diff", first, second, "--by", by, "--json"] + (
                    ["--ignore-values"] if ignore else [])
                want = json.loads(cli(*args, check=False).stdout)
                got = kandrel.diff(kandrel.open(first), str(second), by=by, ignore_values=ignore)
                assert got == want
    same = kandrel.open(first)
    assert kandrel.diff(same, same) == {"added": [], "removed": [], "changed": [], "moved": []}
    with pytest.raises(ValueError):
        kandrel.diff(same, same, by="name")


def test_table_rows_are_the_command_lines_table(bases):
    for path in bases[:2]:
        doc = kandrel.open(path)
        rows = doc.table()
        want = list(csv.DictReader(io.StringIO(cli("table", path).stdout)))
        assert [{k: str(v) for k, v in row.items()} for row in rows] == want
        assert len(rows) == sum(1 for r in doc.walk() if r.kind == "property")
        atom = next(r for r in doc.walk() if r.kind == "atom" and r.children)
        assert [row["id"] for row in doc.table(atom)] == [p.id for p in atom.children]
