"""Detection, connection and disconnection on every family, over TCP and a pseudo-terminal."""
import pytest

import tamrix
from conftest import wait_for

# model: (family code, TEC labels, laser labels)
FAMILIES = {
    "D310": (1, [], ["LAS"]),
    "K760": (2, ["TEC"], []),
    "X510": (3, ["TEC"], ["LAS"]),
    "OEM": (7, ["TEC1", "TEC2", "TEC3"], ["LAS1", "LAS2"]),
    "LPS": (9, [], ["LPS"]),
    "M609": (2, ["TEC1", "TEC2", "TEC3", "TEC4"], []),
    "M607": (3, ["TEC1", "TEC2"], ["LAS1", "LAS2"]),
    "LPS-4": (9, [], ["LPS1", "LPS2", "LPS3", "LPS4"]),
}


@pytest.mark.parametrize("transport", ["tcp", "pty"])
@pytest.mark.parametrize("model", sorted(FAMILIES))
def test_connect_poll_and_disconnect(simulator, model, transport):
    family, tecs, lasers = FAMILIES[model]
    sim = simulator(model, transport)
    assert tamrix.detect(sim.descriptor).family_code == family
    with tamrix.connect(sim.descriptor) as unit:
        assert unit.connected
        assert unit.model and unit.serial and unit.firmware
        assert [channel.label for channel in unit.tec] == tecs
        assert [channel.label for channel in unit.laser] == lasers
        assert unit.wait_fresh(10)
        for tec in unit.tec:
            wait_for(lambda: tec.t is not None, 10, tec.label + " T")
        for laser in unit.laser:
            wait_for(lambda: laser.io is not None, 10, laser.label + " current")
        channel = (unit.tec + unit.laser)[0]
    assert not unit.connected
    with pytest.raises(tamrix.NotConnectedError):
        channel.readings()
    # The port was given back: the unit connects again at once.
    with tamrix.connect(sim.descriptor) as again:
        assert again.wait_fresh(10)


def test_an_exception_in_the_block_disconnects(simulator):
    sim = simulator("K760")
    with pytest.raises(ZeroDivisionError):
        with tamrix.connect(sim.descriptor) as unit:
            1 / 0
    assert not unit.connected
    with pytest.raises(tamrix.NotConnectedError):
        unit.wait_fresh(1)


def test_a_registered_pseudo_terminal_is_listed_by_its_number(simulator):
    sim = simulator("K760", "pty")
    number = int(sim.descriptor.split(":")[1])
    assert number in [port.number for port in tamrix.ports()]


def test_only_terminals_and_port_numbers_are_registered(tmp_path):
    plain = tmp_path / "not-a-terminal"
    plain.write_text("")
    with pytest.raises(ValueError, match="is not a terminal"):
        tamrix.add_port(250, str(plain))
    with pytest.raises(ValueError, match="no port number"):
        tamrix.add_port(256, "/dev/null")


@pytest.mark.parametrize(
    "descriptor, error, text",
    [
        ("USB:1", ValueError, "is not a port descriptor"),
        ("TCP:127.0.0.1:1", tamrix.ConnectError, "Unable to connect to TCP/IP port"),
    ],
)
def test_connections_that_cannot_come_about_say_why(descriptor, error, text):
    with pytest.raises(error, match=text):
        tamrix.connect(descriptor)


def test_nothing_answering_is_no_controller(simulator):
    sim = simulator("K760", "tcp", "--silent")
    with pytest.raises(tamrix.ConnectError, match="No Tamrix Instruments controller was detected"):
        tamrix.detect(sim.descriptor)
