#!/usr/bin/env python3
"""A temperature step with settle detection: set the TEC to a new temperature and wait until it holds.

Against the simulator, from the build tree:
    build/sim/tamrix-sim --model K760 --tcp 10001 --time-scale 20 &
    PYTHONPATH=build/python /usr/bin/python3 examples/temperature_step.py TCP:127.0.0.1:10001 30
"""
import argparse
import sys
import time

import tamrix


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("descriptor", help='"COM:<n>:0" or "TCP:<host>:<port>"')
    parser.add_argument("target", type=float, help="the new temperature [°C]")
    parser.add_argument("--tolerance", type=float, default=0.05, help="band around the target [°C]")
    parser.add_argument("--hold", type=float, default=5.0, help="how long it must stay in the band [s]")
    parser.add_argument("--timeout", type=float, default=600.0, help="give up after this long [s]")
    args = parser.parse_args()

    with tamrix.connect(args.descriptor) as unit:
        tec = unit.tec[0]
        unit.wait_fresh()
        print(f"{unit.model} S/N {unit.serial}: T = {tec.t} °C, set point {tec.t_set} °C")
        tec.mode = "T"
        tec.t_set = args.target
        tec.output = True
        start = time.monotonic()
        if not tec.wait_settled(args.tolerance, args.hold, timeout=args.timeout):
            print(f"not settled after {args.timeout:.0f} s (T = {tec.t} °C)", file=sys.stderr)
            return 1
        print(f"settled at {tec.t:.3f} °C (within {args.tolerance} °C for {args.hold} s) "
              f"{time.monotonic() - start:.1f} s after the step")
        for number, text in unit.errors():
            print(f"instrument error {number}: {text}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
