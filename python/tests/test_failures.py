"""Every way out of balance hands the camera back as found, with the error
the user should see; bad input raises, never crashes."""

import _thread
import functools
import itertools
import math
import operator
import signal
import threading

import numpy as np
import pytest

import colorbal
from colorbal import AcquisitionError, BadParams, Params, SimCamera, Tool

SMALL = (96, 64)


def sim_state(camera):
    return (camera.get_exposure(), camera.get_contrast(), camera.get_brightness(), list(camera.get_lut()),
            camera.trigger_enabled, camera.trigger_model)


def inverted_sim(**faults):
    camera = SimCamera("chart", SMALL, 1, exposure=0.02, contrast=0.25, brightness=0.125, **faults)
    camera.set_lut(list(range(255, -1, -1)))
    return camera


# (faults, the exception balance raises, its code for an AcquisitionError)
SIM_FAULTS = [
    (dict(failure_code_at=3, failure_code=7), AcquisitionError, 7),
    (dict(unbound_image_at=3), AcquisitionError, 0),
    (dict(timeout_at=3), TimeoutError, None),
    (dict(empty_handle_at=3), colorbal.Error, None),
    (dict(attention_failure_before=3), colorbal.Error, None),
    (dict(fail_write_at=9), colorbal.Error, None),
]


@pytest.mark.parametrize("faults,raised,code", SIM_FAULTS)
def test_a_failing_sim_camera_is_handed_back_as_found(faults, raised, code):
    camera = inverted_sim(**faults)
    before = sim_state(camera)
    with pytest.raises(raised) as caught:
        colorbal.balance(camera)
    assert sim_state(camera) == before
    if code is not None:
        assert caught.value.code == code
        assert "acquisition 3 " in caught.value.text
    if raised in (AcquisitionError, TimeoutError):
        # The search's best settings so far come with the error.
        assert isinstance(caught.value.result, colorbal.Result)
    # The faults count per run: the next run fails the same way.
    with pytest.raises(raised):
        colorbal.balance(camera)


class Boom(Exception):
    pass


# What grab() does at its third call: (raised by grab, expected from balance)
GRAB_FAULTS = [
    (Boom("third image"), Boom),
    (TimeoutError("camera silent"), TimeoutError),
    (None, AcquisitionError),
]


@pytest.mark.parametrize("fault,raised", GRAB_FAULTS)
def test_a_failing_python_camera_is_handed_back_as_found(sensor_camera, fault, raised):
    camera = sensor_camera(fail={3: fault})
    before = camera.snapshot()
    with pytest.raises(raised) as caught:
        colorbal.balance(camera)
    assert camera.snapshot() == before
    assert camera.grabs == 3
    if fault is not None:
        assert caught.value is fault  # the camera's own exception, unchanged
    if raised is not Boom:
        assert isinstance(caught.value.result, colorbal.Result)


def test_an_error_during_the_restore_does_not_replace_the_cameras_error(sensor_camera):
    camera = sensor_camera(fail={2: Boom("grab")})
    original = camera.snapshot()

    set_contrast = camera.set_contrast

    def refuse_after_the_failure(value):
        if camera.grabs >= 2:
            raise OSError("contrast refused")
        set_contrast(value)

    camera.set_contrast = refuse_after_the_failure
    with pytest.raises(Boom, match="grab"):
        colorbal.balance(camera)
    # Every other restore step still ran.
    assert camera.snapshot() == dict(original, contrast=0.0)


def test_ctrl_c_stops_the_search_at_its_next_check():
    # The fourth grab() asks for Ctrl-C the way a signal does. Every method
    # of this camera is C code (no Python line runs that could notice the
    # request), so only the search's stop check can stop it.
    frame = np.full((48, 64, 3), 90, dtype=np.uint8)
    interrupt = filter(None, map(_thread.interrupt_main, [signal.SIGINT]))  # yields nothing
    later = itertools.repeat(frame, 100)
    frames = itertools.chain(itertools.repeat(frame, 3), interrupt, later)

    state = {"exposure": 0.02, "contrast": 0.25}
    before = dict(state)

    class Fed(colorbal.Camera):
        grab = functools.partial(next, frames)
        get_exposure = functools.partial(state.__getitem__, "exposure")
        set_exposure = functools.partial(state.__setitem__, "exposure")
        get_contrast = functools.partial(state.__getitem__, "contrast")
        set_contrast = functools.partial(state.__setitem__, "contrast")

    with pytest.raises(KeyboardInterrupt):
        colorbal.balance(Fed())
    assert len(list(later)) == 99  # stopped before a fifth image
    assert state == before


def pressing(camera, in_grab, in_write, events):
    """Ctrl-C pressed `in_grab` times in grab 3 once it has its image, and
    `in_write` times in the first write after grab 3 began, before it writes."""

    def press(times, event):
        events.append(event)
        for _ in range(times):
            signal.raise_signal(signal.SIGINT)
        events.append(event + " goes on")

    def grab(grab=camera.grab):
        image = grab()
        if camera.grabs == 3:
            press(in_grab, "grab 3")
        return image

    def write(setter):
        return lambda value: (camera.grabs < 3 or "write" in events or press(in_write, "write"), setter(value))

    camera.grab = grab
    for name in ("set_exposure", "set_contrast", "set_brightness", "set_lut"):
        setattr(camera, name, write(getattr(camera, name)))
    return camera


# (grab 3 raises Boom, presses in grab 3, presses in the first restore
#  write, a SIGINT handler of one's own that does not raise, raised)
CTRL_C = [
    (True, 0, 1, False, KeyboardInterrupt),
    (True, 0, 2, False, KeyboardInterrupt),
    (True, 0, 2, True, Boom),
    (False, 1, 1, False, KeyboardInterrupt),  # the search stops at its next check
    (False, 2, 1, False, KeyboardInterrupt),  # the second press ends grab() at once
]


@pytest.mark.parametrize("boom,in_grab,in_write,own_handler,raised", CTRL_C)
def test_ctrl_c_never_cuts_a_restore_write_short(sensor_camera, boom, in_grab, in_write, own_handler, raised):
    events, handled = [], []
    camera = pressing(sensor_camera(fail={3: Boom("grab")} if boom else None), in_grab, in_write, events)
    before = camera.snapshot()
    installed = (lambda signum, frame: handled.append(signum)) if own_handler else signal.default_int_handler
    previous = signal.signal(signal.SIGINT, installed)
    try:
        with pytest.raises(raised) as caught:
            colorbal.balance(camera)
        # Put back, and asked once for presses that came before it could run.
        assert signal.getsignal(signal.SIGINT) is installed
    finally:
        signal.signal(signal.SIGINT, previous)
    assert handled == [signal.SIGINT] * own_handler
    if boom and not own_handler:  # raised while the camera's error passed
        assert isinstance(caught.value.__context__, Boom)
    assert camera.snapshot() == before
    # grab() goes on after one press, not after two; the restore write always.
    grab3 = {0: [], 1: ["grab 3", "grab 3 goes on"], 2: ["grab 3"]}[in_grab]
    assert events == grab3 + ["write", "write goes on"]


def test_ctrl_c_never_leaves_a_camera_half_applied(sensor_camera):
    result = colorbal.balance(sensor_camera())
    camera = pressing(sensor_camera(), 0, 1, [])
    camera.grabs = 3
    with pytest.raises(KeyboardInterrupt):
        result.apply(camera)
    assert (camera.get_exposure(), camera.get_contrast(), camera.get_brightness()) == tuple(result.settings)


def test_ctrl_c_ends_a_wait_for_another_threads_balance(sensor_camera):
    camera, holding, release, released = sensor_camera(), threading.Event(), threading.Event(), []

    def held_grab(grab=camera.grab):
        holding.set()
        released.append(release.wait(30))  # False: Ctrl-C did not end the wait below
        release.set()
        return grab()

    camera.grab = held_grab
    other = threading.Thread(target=colorbal.balance, args=(camera,))
    other.start()
    try:
        holding.wait()
        # Ctrl-C arrives, then Tool() waits for the module: no Python line
        # runs in between that could notice it.
        steps = [functools.partial(_thread.interrupt_main, signal.SIGINT), Tool]
        with pytest.raises(KeyboardInterrupt):
            list(map(operator.methodcaller("__call__"), steps))
    finally:
        release.set()
        other.join()
    assert released[0]


def grey_sensor_camera(sensor_camera, image):
    camera = sensor_camera()
    camera.grab = lambda: image
    return camera


BAD_IMAGES = [
    ([[1, 2], [3, 4]], TypeError, "numpy array"),
    (np.zeros((8, 8, 3), dtype=np.float64), TypeError, "uint8"),
    (np.zeros((8, 8, 3), dtype=np.int8), TypeError, "uint8"),
    (np.zeros((8, 8, 4), dtype=np.uint8), ValueError, "H x W x 3"),
    (np.zeros(64, dtype=np.uint8), ValueError, "H x W x 3"),
    (np.zeros((2, 8, 8, 3), dtype=np.uint8), ValueError, "H x W x 3"),
    (np.zeros((0, 8, 3), dtype=np.uint8), ValueError, "empty"),
    (np.zeros((8, 0), dtype=np.uint8), ValueError, "empty"),
]


@pytest.mark.parametrize("image,raised,message", BAD_IMAGES)
def test_a_bad_image_raises(sensor_camera, image, raised, message):
    tool = Tool()
    tool.start((0.01, 0.5, 0.2))
    with pytest.raises(raised, match=message):
        tool.feed(image)
    camera = grey_sensor_camera(sensor_camera, image)
    before = camera.snapshot()
    with pytest.raises(raised, match="grab"):
        colorbal.balance(camera)
    assert camera.snapshot() == before


def test_a_grey_image_is_searched(sensor_camera):
    tool = Tool()
    settings = tool.start((0.01, 0.5, 0.2))
    grey = np.full((48, 64), 120, dtype=np.uint8)
    assert tool.feed(grey) != settings or tool.done


BAD_PARAMS = [
    (dict(contrast_step=0.5000001), BadParams, "minContrastStepSize < 0"),
    (dict(brightness_step=-0.001), BadParams, "minBrightnessStepSize < 0"),
    (dict(exposure_step=math.nan), BadParams, "minExposureStepSize < 0"),
    (dict(exposure_step=-1e-9), BadParams, "minExposureStepSize < 0"),
    (dict(exposure_range=(0.0, 0.3)), BadParams, r"exposure_range \(0.0, 0.3\) is not usable"),
    (dict(exposure_range=(0.3, 0.1)), BadParams, "0 < start <= end"),
    (dict(exposure_range=(1e-6, math.inf)), BadParams, "both finite"),
    (dict(vary_exposure="yes"), TypeError, "True or False"),
    (dict(exposure_range=(1e-6,)), TypeError, "pair"),
    (dict(contrast_step="0.1"), TypeError, "number"),
]


@pytest.mark.parametrize("fields,raised,message", BAD_PARAMS)
def test_bad_params_raise_with_the_librarys_message(fields, raised, message):
    with pytest.raises(raised, match=message) as caught:
        Params(**fields)
    if raised is BadParams:
        assert isinstance(caught.value, ValueError)
        if "Size" in message:  # the library's own message, exactly
            assert str(caught.value) == message
    # A rejected property value leaves the parameters unchanged.
    params = Params()
    name, value = next(iter(fields.items()))
    with pytest.raises(raised):
        setattr(params, name, value)
    assert params == Params()


def test_wrong_arguments_raise_type_errors(sensor_camera):
    with pytest.raises(TypeError, match="colorbal.Camera"):
        colorbal.balance(object())
    with pytest.raises(TypeError, match="grab"):
        colorbal.balance(colorbal.Camera())
    camera = sensor_camera()
    camera.set_contrast = None
    with pytest.raises(TypeError, match="get_contrast.*set_contrast"):
        colorbal.balance(camera)
    with pytest.raises(ValueError, match="start"):
        Tool().feed(np.zeros((8, 8), dtype=np.uint8))
    with pytest.raises(ValueError, match="scene"):
        SimCamera("no-such-scene")
