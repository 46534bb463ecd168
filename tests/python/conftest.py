"""Fixtures of the module's tests: the programs, the generated bases, a running kandrel-sim."""

import json
import os
import subprocess
import sys

import pytest

import kandrel

CLI = os.environ.get("KANDREL_CLI", "kandrel-cli")
SIM = os.environ.get("KANDREL_SIM", "kandrel-sim")
RANDOM_BASES = os.environ.get("KANDREL_RANDOM_BASES", "kandrel_random_bases")


def cli(*args, check=True):
    """Runs kandrel-cli; its standard output."""
    run = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, timeout=120)
    if check and run.returncode != 0:
        raise AssertionError(f"kandrel-cli {args}: {run.returncode} {run.stderr}")
    return run


def dump(path):
    return json.loads(cli("dump", path).stdout)


@pytest.fixture(scope="session")
def bases(tmp_path_factory):
    """The generated base and its randomly edited copies, as the C++ tests make them."""
    folder = tmp_path_factory.mktemp("bases")
    subprocess.run([RANDOM_BASES, str(folder), "1500"], check=True, timeout=120)
    return sorted(folder.glob("*.kdl"))


@pytest.fixture
def sample(bases, tmp_path):
    """A copy of the generated base that a test may change."""
    path = tmp_path / "sample.kdl"
    path.write_bytes(next(b for b in bases if b.name == "sample.kdl").read_bytes())
    return path


class Sim:
    """kandrel-sim on a free loopback port, serving `base`."""

    def __init__(self, base, *extra):
        self.process = subprocess.Popen(
            [SIM, "--address", "127.0.0.1", "--port", "0", "--base", str(base), *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().strip()
        if not line:
            self.stop()
            raise AssertionError("kandrel-sim did not start: " + self.process.stderr.read())
        self.port = int(line.rsplit(":", 1)[1])

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()


@pytest.fixture
def sim(sample):
    """A server holding the generated base; its values do not move."""
    server = Sim(sample)
    yield server
    server.stop()


@pytest.fixture
def moving_sim(sample):
    """A server whose numeric values all move every 20 ms."""
    server = Sim(sample, "--tick", "20")
    yield server
    server.stop()
