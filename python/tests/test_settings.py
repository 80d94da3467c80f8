"""Set points, modes and outputs through the range checks tamrix-cli set uses, with its refusal texts."""
import os
import subprocess

import pytest

import tamrix
from conftest import CLI, wait_for


def cli_set(descriptor, name, value):
    """What `tamrix-cli set` says on standard error, without its prefix."""
    run = subprocess.run([CLI, "set", descriptor, name, value], capture_output=True, text=True, timeout=60,
                         env=os.environ)
    assert run.returncode != 0
    return "\n".join(line.removeprefix("tamrix-cli: ") for line in run.stderr.splitlines())


@pytest.mark.parametrize(
    "model, family, name, prop, value",
    [
        ("K760", "tec", "tec.t", "t_set", 300),
        ("K760", "tec", "tec.mode", "mode", "X"),
        ("K760", "tec", "tec.ite", "ite_set", 99),
    ],
)
def test_refusals_raise_with_the_text_of_tamrix_cli_set(simulator, model, family, name, prop, value):
    sim = simulator(model)
    expected = cli_set(sim.descriptor, name, str(value))
    with tamrix.connect(sim.descriptor) as unit:
        channel = getattr(unit, family)[0]
        with pytest.raises(tamrix.RefusedError) as refused:
            setattr(channel, prop, value)
        assert str(refused.value) == expected
        with pytest.raises(ValueError):
            channel.set(name, value)


def test_a_value_the_instrument_refuses_raises_and_is_listed(simulator):
    sim = simulator("D310")
    with tamrix.connect(sim.descriptor) as unit:
        unit.errors()
        with pytest.raises(tamrix.InstrumentError, match="las.ldi 99999: refused by the instrument"):
            unit.laser[0].io_set = 99999
        assert [number for number, _ in unit.errors()] == [201]


def test_set_points_mode_and_output_reach_the_unit(simulator):
    sim = simulator("X510")
    with tamrix.connect(sim.descriptor) as unit:
        tec, laser = unit.tec[0], unit.laser[0]
        tec.t_set = 30
        laser.io_set = 12.5
        laser.output = True
        assert unit.wait_fresh(10)
        assert tec.t_set == pytest.approx(30.0)
        assert laser.io_set == pytest.approx(12.5)
        assert laser.output is True
        tec.mode = "ITE"
        assert unit.wait_fresh(10)
        assert tec.mode == "ITE"
        # A set point of another mode does not apply: None, not a number.
        assert tec.t_set is None
        laser.output = False
        assert unit.wait_fresh(10)
        wait_for(lambda: laser.io is not None and laser.io < 1.0, 10, "the current to fall")
        assert unit.errors() == []


def test_temperature_settles_within_tolerance(simulator):
    sim = simulator("K760", "tcp", "--time-scale", "50")
    with tamrix.connect(sim.descriptor) as unit:
        tec = unit.tec[0]
        tec.output = True
        tec.t_set = 28
        assert tec.wait_settled(0.05, 1.0, timeout=60)
        assert tec.t == pytest.approx(28, abs=0.05)
        # Never within a tolerance of zero for long, so the time-out answers.
        assert not tec.wait_settled(0.0, 60, timeout=0.5)


def test_instrument_errors_are_listed(simulator):
    sim = simulator("K760", "tcp", "--sensor-open", "1")
    with tamrix.connect(sim.descriptor) as unit:
        unit.errors()
        with pytest.raises(tamrix.InstrumentError, match="tec.output True: refused by the instrument"):
            unit.tec[0].set("tec.output", "True")
        assert 402 in [number for number, _ in unit.errors()]
        assert unit.errors() == []
