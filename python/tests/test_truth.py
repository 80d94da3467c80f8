"""No stale value from a frozen unit, Ctrl-C during a wait, and two threads on one unit."""
import os
import signal
import threading
import time

import pytest

import tamrix
from conftest import wait_for


def test_a_frozen_unit_gives_no_stale_value(simulator):
    sim = simulator("X510")
    with tamrix.connect(sim.descriptor) as unit:
        tec, laser = unit.tec[0], unit.laser[0]
        assert unit.wait_fresh(10)
        assert tec.t is not None
        sim.freeze()
        wait_for(lambda: tec.t is None, 15, "the temperature to stop being live")
        assert laser.io is None and tec.ite is None and tec.t_set is None
        assert all(value is None for value in unit.read()["TEC"].values())
        # A logging loop goes on, with nothing but None to log.
        frozen = next(unit.readings())
        assert frozen["TEC"]["T"] is None and frozen["LAS"]["LDI"] is None
        assert not unit.wait_fresh(0.5)
        sim.thaw()
        assert unit.wait_fresh(20)
        wait_for(lambda: tec.t is not None, 15, "the temperature to be live again")


def interrupt_after(seconds):
    timer = threading.Timer(seconds, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    return timer


@pytest.mark.parametrize("freeze", [False, True])
def test_ctrl_c_ends_a_wait_with_keyboard_interrupt(simulator, freeze):
    sim = simulator("K760")
    with tamrix.connect(sim.descriptor) as unit:
        assert unit.wait_fresh(10)
        if freeze:
            sim.freeze()
        start = time.monotonic()
        timer = interrupt_after(0.3)
        with pytest.raises(KeyboardInterrupt):
            # Without the interrupt neither would end: no tolerance of zero holds, a frozen unit never answers.
            if freeze:
                unit.wait_fresh(-1)
            else:
                unit.tec[0].wait_settled(0.0, 3600, timeout=-1)
        timer.join()
        assert time.monotonic() - start < 10
        sim.thaw()
        # The unit is still connected and usable after the interrupt.
        assert unit.connected
        assert unit.wait_fresh(20)


def test_two_threads_share_one_unit(simulator):
    sim = simulator("X510")
    failures = []
    with tamrix.connect(sim.descriptor) as unit:
        tec, laser = unit.tec[0], unit.laser[0]

        def run(work):
            try:
                work()
            except Exception as error:  # reported below, with the thread's own failure
                failures.append(error)

        def set_temperatures():
            for step in range(10):
                tec.t_set = 25 + step % 3

        def set_currents_and_log():
            readings = unit.readings(period=0.05)
            for step in range(10):
                laser.io_set = 10 + step
                assert "TEC" in next(readings).channels

        threads = [threading.Thread(target=run, args=(work,)) for work in (set_temperatures, set_currents_and_log)]
        for thread in threads:
            thread.start()
        # The GIL is free while a thread waits on the unit: this one counts on meanwhile.
        counted = 0
        while any(thread.is_alive() for thread in threads):
            counted += 1
            time.sleep(0.001)
        for thread in threads:
            thread.join(timeout=60)
        assert failures == []
        assert counted > 10
        assert unit.wait_fresh(10)
        assert tec.t_set == pytest.approx(25 + 9 % 3)
        assert laser.io_set == pytest.approx(19)
        assert unit.errors() == []


def test_a_wait_leaves_the_gil_to_other_threads(simulator):
    sim = simulator("K760")
    with tamrix.connect(sim.descriptor) as unit:
        ticks = []
        stop = threading.Event()

        def tick():
            while not stop.is_set():
                ticks.append(1)
                time.sleep(0.001)

        ticker = threading.Thread(target=tick)
        ticker.start()
        try:
            assert not unit.tec[0].wait_settled(0.0, 3600, timeout=0.5)
        finally:
            stop.set()
            ticker.join(timeout=10)
        assert len(ticks) > 20
