"""The examples keep working."""

import importlib.util
import os
import subprocess
import sys

import pytest

import colorbal

EXAMPLES = os.environ.get("COLORBAL_EXAMPLES_DIR", os.path.join(os.path.dirname(__file__), "..", "examples"))


def load(name):
    location = importlib.util.spec_from_file_location(name, os.path.join(EXAMPLES, name + ".py"))
    module = importlib.util.module_from_spec(location)
    location.loader.exec_module(module)
    return module


def test_balance_sim_prints_and_saves_the_result(tmp_path):
    saved = tmp_path / "dark.bin"
    done = subprocess.run([sys.executable, os.path.join(EXAMPLES, "balance_sim.py"), "--scene", "dark", "--size",
                           "160x120", "--seed", "3", "--save", str(saved)], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    expected = colorbal.balance(colorbal.SimCamera("dark", (160, 120), 3))
    assert colorbal.Result.load(saved) == expected
    assert f"exposure:        {expected.settings.exposure!r} s" in done.stdout


def test_opencv_camera_imports_without_opencv_and_balances_where_a_camera_exists():
    example = load("opencv_camera")
    methods = ["grab"] + [f"{verb}_{name}" for name in ("exposure", "contrast", "brightness") for verb in ("get", "set")]
    assert issubclass(example.OpenCVCamera, colorbal.Camera)
    assert all(callable(getattr(example.OpenCVCamera, m)) for m in methods)
    if importlib.util.find_spec("cv2") is None:
        pytest.skip("OpenCV is not installed")
    try:
        camera = example.OpenCVCamera(0)
    except OSError:
        pytest.skip("no camera that OpenCV can open")
    with camera:
        before = (camera.get_exposure(), camera.get_contrast(), camera.get_brightness())
        result = colorbal.balance(camera)
        assert (camera.get_exposure(), camera.get_contrast(), camera.get_brightness()) == before
        assert result.settings.exposure > 0


def test_the_readme_example_runs(capsys):
    readme = open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md"), encoding="utf-8").read()
    example = readme.split("```python\n", 1)[1].split("```", 1)[0]
    exec(compile(example, "README.md", "exec"), {})
    assert capsys.readouterr().out.startswith("Settings(exposure=")
