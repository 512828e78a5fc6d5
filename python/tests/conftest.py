"""Shared fixtures: the colorbal program, and a camera written in Python."""

import json
import os
import subprocess

import numpy as np
import pytest

import colorbal

PROGRAM = os.environ.get("COLORBAL_PROGRAM")


def run_program(*args):
    """Runs the colorbal program; returns its exit status and standard output."""
    if not PROGRAM:
        pytest.skip("the colorbal program was not built")
    done = subprocess.run([PROGRAM, *args], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout


def program_json(*args):
    status, out = run_program(*args, "--json")
    assert status == 0, out
    return json.loads(out)


class SensorCamera(colorbal.Camera):
    """A small numpy sensor model: a fixed RGB scene, gain 2**(4 contrast),
    offset 60 brightness, seeded noise, an input LUT.

    `leave_out` names setting pairs the class does not define, e.g.
    {"brightness", "lut"}; `fail` maps a grab number (from 1) to what that
    grab does: an exception instance to raise, or None to deliver no image.
    """

    def __init__(self, leave_out=(), fail=None, size=(96, 64), seed=3):
        super().__init__()
        width, height = size
        ramp = np.linspace(0.05, 1.0, width, dtype=np.float64)
        self.scene = np.stack([ramp[None, :] * f for f in (1.0, 0.7, 0.4)], axis=-1).repeat(height, axis=0)
        self.rng = np.random.default_rng(seed)
        self.state = {"exposure": 0.02, "contrast": 0.3, "brightness": 0.1, "lut": list(range(255, -1, -1))}
        self.fail = fail or {}
        self.grabs = 0
        # A method set to None counts as not defined.
        for name in leave_out:
            setattr(self, "get_" + name, None)
            setattr(self, "set_" + name, None)

    def get_exposure(self):
        return self.state["exposure"]

    def set_exposure(self, seconds):
        self.state["exposure"] = seconds

    def get_contrast(self):
        return self.state["contrast"]

    def set_contrast(self, value):
        self.state["contrast"] = value

    def get_brightness(self):
        return self.state["brightness"]

    def set_brightness(self, value):
        self.state["brightness"] = value

    def get_lut(self):
        return self.state["lut"]

    def set_lut(self, table):
        self.state["lut"] = [int(v) for v in table]

    def render(self, exposure, contrast, brightness):
        signal = 2.0 ** (4 * contrast) * exposure * 2000.0 * self.scene + 60.0 * brightness
        noisy = signal + self.rng.normal(0.0, 1.0, signal.shape)
        return np.clip(np.rint(noisy), 0, 255).astype(np.uint8)

    def grab(self):
        self.grabs += 1
        if self.grabs in self.fail:
            if self.fail[self.grabs] is None:
                return None
            raise self.fail[self.grabs]
        s = self.state
        image = self.render(s["exposure"], s["contrast"], s["brightness"])
        return image if self.get_lut is None else np.asarray(s["lut"], dtype=np.uint8)[image]

    def snapshot(self):
        return dict(self.state, lut=list(self.state["lut"]))


@pytest.fixture
def sensor_camera():
    return SensorCamera
