"""Fixtures: the simulator as a child process over TCP or a pseudo-terminal, with deadlines."""
import itertools
import os
import select
import signal
import subprocess
import tempfile
import time

import pytest

# The port registry keeps its numbers in the user's settings: the tests keep theirs in a folder of their own,
# set before the module first reads it.
_CONFIG = tempfile.TemporaryDirectory(prefix="tamrix-pytest-")
os.environ["XDG_CONFIG_HOME"] = _CONFIG.name

import tamrix  # noqa: E402

SIM = os.environ.get("TAMRIX_SIM", "tamrix-sim")
CLI = os.environ.get("TAMRIX_CLI", "tamrix-cli")
_PORT_NUMBERS = itertools.count(200)


def wait_for(condition, timeout, what):
    """Polls condition() until it is true; fails the test after timeout seconds."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail("timed out waiting for " + what)
        time.sleep(0.02)


class Simulator:
    """One tamrix-sim process; its address is read from what it prints as it starts."""

    def __init__(self, model, transport, *extra):
        args = [SIM, "--model", model, *extra]
        args += ["--tcp", "0"] if transport == "tcp" else ["--pty"]
        self.model = model
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.transport = transport
        self.descriptor = None
        self._port_number = None
        self._read_address(deadline=time.monotonic() + 10)

    def _read_address(self, deadline):
        # Read from the descriptor itself: a buffered reader would hold lines that select() no longer sees.
        fd = self.process.stdout.fileno()
        pending = b""
        while self.descriptor is None:
            left = deadline - time.monotonic()
            if left <= 0 or self.process.poll() is not None:
                self.stop()
                pytest.fail("the simulator did not start (model %s)" % self.model)
            if b"\n" not in pending:
                if select.select([fd], [], [], left)[0]:
                    pending += os.read(fd, 4096)
                continue
            line, pending = pending.split(b"\n", 1)
            words = line.decode().split()
            if words[:1] == ["TCP"]:
                self.descriptor = "TCP:" + words[1]
            elif words[:1] == ["PTY"]:
                self._port_number = next(_PORT_NUMBERS)
                tamrix.add_port(self._port_number, words[1])
                self.descriptor = "COM:%d:0" % self._port_number

    def freeze(self):
        os.kill(self.process.pid, signal.SIGSTOP)

    def thaw(self):
        os.kill(self.process.pid, signal.SIGCONT)

    def stop(self):
        if self.process.poll() is None:
            self.thaw()
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.process.stdout.close()
        if self._port_number is not None:
            tamrix.remove_port(self._port_number)
            self._port_number = None


@pytest.fixture
def simulator():
    """simulator(model, transport="tcp", *options) starts one; every one started is stopped after the test."""
    started = []

    def start(model, transport="tcp", *extra):
        sim = Simulator(model, transport, *extra)
        started.append(sim)
        return sim

    yield start
    for sim in started:
        sim.stop()
