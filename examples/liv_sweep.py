#!/usr/bin/env python3
"""An LIV sweep: step the laser current, and at each step log the photodiode power and the forward voltage.

Every step is written to a CSV file in the monitor's format (tamrix.CsvWriter) and printed.
Against the simulator, from the build tree:
    build/sim/tamrix-sim --model D310 --tcp 10001 &
    PYTHONPATH=build/python /usr/bin/python3 examples/liv_sweep.py TCP:127.0.0.1:10001 liv.csv --stop 40
"""
import argparse
import sys

import tamrix


def shown(value, width, decimals):
    """A reading that is not live (None) prints as dashes, never as a number."""
    return "-" * width if value is None else f"{value:{width}.{decimals}f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("descriptor", help='"COM:<n>:0" or "TCP:<host>:<port>"')
    parser.add_argument("csv", help="the CSV file to write")
    parser.add_argument("--start", type=float, default=0.0, help="first current [mA]")
    parser.add_argument("--stop", type=float, default=40.0, help="last current [mA]")
    parser.add_argument("--step", type=float, default=2.0, help="current step [mA]")
    parser.add_argument("--tolerance", type=float, default=0.05, help="the current counts as set within this [mA]")
    args = parser.parse_args()

    steps = int(round((args.stop - args.start) / args.step)) + 1
    with tamrix.connect(args.descriptor) as unit, tamrix.CsvWriter(args.csv, unit) as log:
        laser = unit.laser[0]
        laser.mode = "ICW"
        laser.io_set = args.start
        laser.output = True
        try:
            print(" I [mA]   P [mW]   V [V]")
            for index in range(steps):
                laser.io_set = args.start + index * args.step
                # One live cycle with the current at its set point: power and voltage belong to it.
                if not laser.wait_settled(args.tolerance, 0.0, timeout=10):
                    print(f"the current did not reach {laser.io_set} mA", file=sys.stderr)
                    return 1
                readings = unit.read()
                log.write(readings)
                row = readings[laser.label]
                print(f"{shown(row['LDI'], 7, 2)}  {shown(row['MDP'], 7, 3)}  {shown(row['LDV'], 6, 3)}")
        finally:
            laser.output = False
    print(f"{steps} steps written to {args.csv}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
