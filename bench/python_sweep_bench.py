#!/usr/bin/env python3
"""Per-point cost of a laser current sweep against the simulator, four ways:

  module   tamrix: connect once, then `laser.io_set = I` per point (range check, command, error check)
  cli      `tamrix-cli set <descriptor> las.ldi I`, one process per point (connects every time)
  socket   a raw TCP loop: "LAS:LDI I\\r\\nerr?\\n", read the "0"
  pyserial the same exchange over the simulator's pseudo-terminal with pyserial

Run from the checkout after building: PYTHONPATH=build/python /usr/bin/python3 bench/python_sweep_bench.py
The module, socket and pyserial loops set --points currents over TCP (pyserial: the pty); the CLI, at about a
connection per point, sets --cli-points of them and its figure is the mean per point.
"""
import argparse
import os
import select
import socket
import subprocess
import sys
import time

import tamrix

MODEL = "D310"


def start_simulator(sim):
    process = subprocess.Popen([sim, "--model", MODEL, "--tcp", "0", "--pty"], stdout=subprocess.PIPE)
    address = {}
    pending = b""
    deadline = time.monotonic() + 10
    # Read from the descriptor itself: a buffered reader would hold lines that select() no longer sees.
    while len(address) < 2:
        if b"\n" in pending:
            line, pending = pending.split(b"\n", 1)
            words = line.decode().split()
            if words[:1] in (["TCP"], ["PTY"]):
                address[words[0]] = words[1]
            continue
        if not select.select([process.stdout], [], [], max(0.0, deadline - time.monotonic()))[0]:
            process.kill()
            sys.exit("the simulator did not start")
        pending += os.read(process.stdout.fileno(), 4096)
    return process, "TCP:" + address["TCP"], address["PTY"]


def currents(points):
    # 0 to 50 mA, within every laser's limits.
    return [50.0 * index / (points - 1) for index in range(points)]


def module_sweep(descriptor, points):
    with tamrix.connect(descriptor) as unit:
        laser = unit.laser[0]
        start = time.perf_counter()
        for current in currents(points):
            laser.io_set = current
        return (time.perf_counter() - start) / points


def cli_sweep(cli, descriptor, points):
    start = time.perf_counter()
    for current in currents(points):
        subprocess.run([cli, "set", descriptor, "las.ldi", "%.4f" % current], check=True, capture_output=True)
    return (time.perf_counter() - start) / points


def exchange(write, read_line, current):
    write(b"LAS:LDI %.6f\r\nerr?\n" % current)
    reply = read_line()
    if reply.strip() != b"0":
        sys.exit("the simulator answered %r" % reply)


def socket_sweep(descriptor, points):
    host, port = descriptor.split(":")[1:]
    with socket.create_connection((host, int(port)), timeout=5) as link:
        stream = link.makefile("rb")
        start = time.perf_counter()
        for current in currents(points):
            exchange(link.sendall, stream.readline, current)
        return (time.perf_counter() - start) / points


def pyserial_sweep(path, points):
    import serial  # Debian's python3-serial

    with serial.Serial(path, 38400, timeout=5) as port:
        port.reset_input_buffer()
        start = time.perf_counter()
        for current in currents(points):
            exchange(port.write, port.readline, current)
        return (time.perf_counter() - start) / points


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1000)
    parser.add_argument("--cli-points", type=int, default=50)
    parser.add_argument("--sim", default=os.environ.get("TAMRIX_SIM", "build/sim/tamrix-sim"))
    parser.add_argument("--cli", default=os.environ.get("TAMRIX_CLI", "build/tools/tamrix-cli"))
    args = parser.parse_args()

    process, descriptor, pty = start_simulator(args.sim)
    try:
        figures = [
            ("tamrix module (TCP)", args.points, module_sweep(descriptor, args.points)),
            ("raw socket loop (TCP)", args.points, socket_sweep(descriptor, args.points)),
            ("pyserial loop (pty)", args.points, pyserial_sweep(pty, args.points)),
            ("tamrix-cli set, a process per point (TCP)", args.cli_points,
             cli_sweep(args.cli, descriptor, args.cli_points)),
        ]
    finally:
        process.terminate()
        process.wait(timeout=10)
    print("%s current sweep, 0 to 50 mA, per point:" % MODEL)
    for name, points, seconds in figures:
        print("  %-44s %5d points  %9.3f ms/point" % (name, points, seconds * 1000))
    return 0


if __name__ == "__main__":
    sys.exit(main())
