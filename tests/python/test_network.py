"""fetch and watch against kandrel-sim on a free loopback port."""

import datetime
import socket
import threading

import pytest

import kandrel


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_fetch_brings_the_servers_base(sim, sample):
    doc = kandrel.fetch("127.0.0.1", sim.port, timeout=30)
    # The base as served equals the file, values and all.
    assert kandrel.diff(kandrel.open(sample), doc) == {
        "added": [], "removed": [], "changed": [], "moved": []}
    assert doc.path == "" and len(doc) == len(kandrel.open(sample))
    # A fetched document is an ordinary one: edited and saved without reaching the server.
    doc.groups[0].add_object("Offline")
    assert kandrel.fetch("127.0.0.1", sim.port, timeout=30).find("/Hardware/Offline") is None


def test_fetch_failures_name_the_server():
    port = free_port()  # nobody listens there
    with pytest.raises(kandrel.NetworkError) as caught:
        kandrel.fetch("127.0.0.1", port, timeout=5)
    assert caught.value.file == f"127.0.0.1:{port}" and caught.value.cause
    # A listener that never answers: the timeout bounds the wait, and other threads run
    # meanwhile.
    with socket.socket() as silent:
        silent.bind(("127.0.0.1", 0))
        silent.listen()
        done, turns = threading.Event(), []

        def count():
            while not done.is_set():
                turns.append(1)
                done.wait(0.01)

        counter = threading.Thread(target=count)
        counter.start()
        with pytest.raises(kandrel.NetworkError) as caught:
            try:
                kandrel.fetch("127.0.0.1", silent.getsockname()[1], timeout=1)
            finally:
                done.set()
                counter.join()
        assert "no answer within 1 s" in str(caught.value)
        assert len(turns) > 5
    with pytest.raises(ValueError):
        kandrel.fetch("127.0.0.1", 0)


def test_watch_yields_changes_as_they_arrive(moving_sim, sample):
    doc = kandrel.open(sample)
    seen = []
    with kandrel.watch("127.0.0.1", moving_sim.port) as changes:
        for time, id, path, value in changes:
            seen.append((time, id, path, value))
            if len(seen) == 5:
                break
    for time, id, path, value in seen:
        assert isinstance(time, datetime.datetime) and time.tzinfo is not None
        assert doc.record(id).path == path and doc.record(id).kind == "property"
        assert isinstance(value, str)
    # Chosen by identifier and by branch: only those properties are told.
    moving = [r for r in doc.walk() if r.kind == "property" and r.type in ("SHORT", "INT")
              and r.name != "DecPoint"]
    one, branch = moving[0], moving[-1].parent
    wanted = {one.id} | {p.id for p in branch.children}
    got = kandrel.watch("127.0.0.1", moving_sim.port, ids=[one.id], paths=[branch.path], seconds=2)
    ids = {id for _, id, _, _ in got}
    assert ids and ids <= wanted
    # The watch ends when its seconds are over, and a name that matches nothing is an error.
    short = kandrel.watch("127.0.0.1", moving_sim.port, ids=[one.id], seconds=0.5)
    assert all(id == one.id for _, id, _, _ in short)
    with pytest.raises(kandrel.NetworkError) as caught:
        kandrel.watch("127.0.0.1", moving_sim.port, paths=["/No/Such"])
    assert "no record has the path /No/Such" in str(caught.value)


def test_watch_ends_with_an_error_when_the_server_goes(moving_sim):
    changes = kandrel.watch("127.0.0.1", moving_sim.port)
    next(changes)
    moving_sim.stop()
    with pytest.raises(kandrel.NetworkError) as caught:
        for _ in changes:
            pass
    assert caught.value.file == f"127.0.0.1:{moving_sim.port}"
