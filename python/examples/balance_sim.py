#!/usr/bin/env python3
"""Balances the simulated camera, prints what the search found and saves the
result in the colorbal program's format (read it with `colorbal show FILE`).

    python3 balance_sim.py --scene dark --seed 3 --save dark.bin
"""

import argparse

import colorbal


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scene", default="chart", help="chart, dark, bright, hdr, grey, or a PPM file")
    parser.add_argument("--size", default="640x480", help="image size WxH (default 640x480)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the camera's noise (default 1)")
    parser.add_argument("--save", default="result.bin", help="where to store the result (default result.bin)")
    args = parser.parse_args(argv)
    width, height = (int(side) for side in args.size.split("x"))

    camera = colorbal.SimCamera(args.scene, (width, height), args.seed)
    result = colorbal.balance(camera, colorbal.Params(exposure_range=(1e-6, 0.3)))
    exposure, contrast, brightness = result.settings
    print(f"exposure:        {exposure!r} s")
    print(f"contrast:        {contrast!r}")
    print(f"brightness:      {brightness!r}")
    print(f"LUT is identity: {'yes' if result.positive_lut else 'no'}")
    print(f"images taken:    {result.acquisition_number}")
    result.save(args.save)
    print(f"saved to {args.save}")


if __name__ == "__main__":
    main()
