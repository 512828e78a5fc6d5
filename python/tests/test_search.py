"""The search from Python gives the library's answers, on every camera."""

import threading

import numpy as np
import pytest

import colorbal
from colorbal import Params, Settings, SimCamera, Tool
from conftest import program_json

SMALL = (160, 120)

# (scene, size, seed, params, the program's options for the same params)
PROGRAM_CASES = [
    ("chart", (640, 480), 1, Params(), []),
    ("dark", SMALL, 7, Params(vary_brightness=False), ["--vary", "exposure,contrast"]),
    ("hdr", SMALL, 3, Params(contrast_step=0.01, exposure_range=(1e-5, 0.2)),
     ["--contrast-step", "0.01", "--exposure-range", "1e-05,0.2"]),
]


@pytest.mark.parametrize("scene,size,seed,params,options", PROGRAM_CASES)
def test_balance_gives_the_programs_result(scene, size, seed, params, options):
    result = colorbal.balance(SimCamera(scene, size, seed), params)
    report = program_json("balance", "--scene", scene, "--size", "%dx%d" % size, "--seed", str(seed), *options)
    assert result.settings == (report["exposure"], report["contrast"], report["brightness"])
    assert result.positive_lut == report["positive8BitLut"]


def test_diagnostics_hold_the_result_images():
    result = colorbal.balance(SimCamera("chart", SMALL, 1), diagnostics=True)
    assert result == colorbal.balance(SimCamera("chart", SMALL, 1))
    records = result.diagnostics
    assert [r["annotation"] for r in records] == ["Color image", "Monochrome image"]
    assert [r["image"].shape for r in records] == [(120, 160, 3), (120, 160)]
    assert records[0]["text"][0] == "exposure: %f " % result.settings.exposure


# The same images in other layouts: the tool must see the same pels.
LAYOUTS = {
    "contiguous": lambda a: a,
    "fortran": np.asfortranarray,
    "padded": lambda a: np.pad(a, ((0, 0), (0, 0), (0, 1)))[:, :, :3],
    "every other column": lambda a: np.repeat(a, 2, axis=1)[:, ::2],
    "reversed rows and planes": lambda a: a[::-1, :, ::-1].copy()[::-1, :, ::-1],
}


@pytest.mark.parametrize("layout", LAYOUTS)
def test_tool_fed_numpy_images_gives_the_drivers_result(layout):
    expected = colorbal.balance(SimCamera("chart", SMALL, 5)).settings
    camera = SimCamera("chart", SMALL, 5)
    tool = Tool(Params())
    settings = tool.start(Settings(1e-6, 0.0, 0.0))
    images = 0
    while not tool.done:
        camera.set_exposure(settings.exposure)
        camera.set_contrast(settings.contrast)
        camera.set_brightness(settings.brightness)
        settings = tool.feed(LAYOUTS[layout](camera.grab()))
        images += 1
    assert images > 20
    assert tool.result == expected


@pytest.mark.parametrize("leave_out", [(), ("lut",), ("brightness",), ("exposure", "lut")])
def test_a_camera_written_in_python_is_balanced_and_handed_back(sensor_camera, leave_out):
    camera = sensor_camera(leave_out=leave_out)
    before = camera.snapshot()
    result = colorbal.balance(camera)
    assert camera.snapshot() == before
    exposure, contrast, brightness = result.settings
    if "exposure" in leave_out:
        assert exposure == 0.0
    else:
        assert 1e-6 <= exposure <= 0.3
    if "brightness" in leave_out:
        assert brightness == 0.0
    assert result.positive_lut
    # The settings found expose the scene well: few pels dark or saturated.
    image = camera.render(exposure if exposure else before["exposure"], contrast, brightness or before["brightness"])
    usable = np.all((image >= 5) & (image <= 239), axis=-1).mean()
    assert usable > 0.9
    # Applied, the result reaches the camera.
    colorbal.Result(result.settings, positive_lut=True).apply(camera)
    if "exposure" not in leave_out:
        assert camera.state["exposure"] == exposure
    if "lut" not in leave_out:
        assert camera.state["lut"] == list(range(256))


def test_two_balances_on_two_threads_give_their_own_results():
    scenes = ["chart", "dark"]
    expected = [colorbal.balance(SimCamera(s, SMALL, 2)).settings for s in scenes]
    found = [None, None]

    def run(i):
        found[i] = colorbal.balance(SimCamera(scenes[i], SMALL, 2)).settings

    threads = [threading.Thread(target=run, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert found == expected
