"""Readings for logging loops and the monitor's CSV format."""
import csv
import os
import subprocess

import pytest

import tamrix
from conftest import CLI


def test_readings_follow_the_poll_cycles(simulator):
    sim = simulator("X510")
    with tamrix.connect(sim.descriptor) as unit:
        rows = []
        later = unit.readings()
        for readings in unit.readings(period=0.05):
            rows.append(readings)
            if len(rows) == 5:
                break
        times = [row.time for row in rows]
        assert times == sorted(times) and len(set(times)) == 5
        assert isinstance(rows[-1]["TEC"]["T"], float)
        assert rows[-1]["LAS"]["mode"] == "Io"
        assert rows[-1].timestamp.endswith("Z")
    # Disconnecting ends an iteration; a new one is refused.
    assert list(later) == []
    with pytest.raises(tamrix.NotConnectedError):
        unit.readings()


def test_csv_has_the_monitors_columns_and_gap_rows(simulator, tmp_path):
    sim = simulator("K760")
    monitor_csv = tmp_path / "monitor.csv"
    subprocess.run([CLI, "monitor", sim.descriptor, "--count", "1", "--csv", str(monitor_csv)], check=True,
                   capture_output=True, timeout=60, env=os.environ)
    script_csv = tmp_path / "script.csv"
    with tamrix.connect(sim.descriptor) as unit:
        assert unit.wait_fresh(10)
        with tamrix.CsvWriter(str(script_csv), unit) as log:
            log.write(unit.read())
            log.write_gap(unit.read(), "paused")
            log.write(unit.read())
            assert log.rows == 2

    def table(path):
        return list(csv.reader(line for line in path.open(encoding="utf-8") if not line.startswith("#")))

    script = table(script_csv)
    assert script[0] == table(monitor_csv)[0]
    assert len(script) == 4
    assert script[2][-1] == "gap: paused" and all(field == "" for field in script[2][1:-1])
    assert "# Source: tamrix python" in script_csv.read_text(encoding="utf-8") or "tamrix python" in script_csv.read_text(encoding="utf-8")
