#!/usr/bin/env python3
"""A colorbal camera over OpenCV's VideoCapture (USB webcams and whatever
else OpenCV opens), balanced in one call:

    python3 opencv_camera.py [INDEX]

OpenCV's capture properties have no common unit: exposure is often in steps
of 100 microseconds (V4L2's absolute exposure), contrast and brightness
often 0..255. The class maps the library's scale onto them with
`exposure_unit`, `contrast_range` and `brightness_range`; adjust them to
your camera (`v4l2-ctl --list-ctrls` shows a V4L2 camera's ranges).

OpenCV is imported when a camera is opened, so this file imports without
it; the colorbal tests import it that way.
"""

import sys

import colorbal


class OpenCVCamera(colorbal.Camera):
    """A VideoCapture device as a colorbal camera.

    Automatic exposure is switched off while the camera is open and put back
    by close() (or at the end of a `with` block). Every property write is
    checked: OpenCV reports a refused one as False, which raises OSError.
    After a change the capture's queue still holds frames taken with the old
    settings, so grab() drops `stale_frames` frames first.
    """

    def __init__(self, index=0, exposure_unit=1e-4, contrast_range=(0.0, 255.0), brightness_range=(0.0, 255.0),
                 stale_frames=2):
        super().__init__()
        import cv2  # only needed once a camera is opened

        self.cv2 = cv2
        self.capture = cv2.VideoCapture(index)
        if not self.capture.isOpened():
            raise OSError(f"OpenCV camera {index}: cannot be opened")
        self.exposure_unit = exposure_unit
        self.contrast_range = contrast_range
        self.brightness_range = brightness_range
        self.stale_frames = stale_frames
        self.changed = False
        self.auto_exposure = self.capture.get(cv2.CAP_PROP_AUTO_EXPOSURE)
        # 0.25 asks V4L2 for manual exposure; 1 is its "manual" mode too on
        # some backends.
        if not (self.capture.set(cv2.CAP_PROP_AUTO_EXPOSURE, 0.25)
                or self.capture.set(cv2.CAP_PROP_AUTO_EXPOSURE, 1)):
            raise OSError(f"OpenCV camera {index}: automatic exposure cannot be switched off")

    def close(self):
        self.capture.set(self.cv2.CAP_PROP_AUTO_EXPOSURE, self.auto_exposure)
        self.capture.release()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _get(self, prop, low=0.0, high=1.0):
        return (self.capture.get(prop) - low) / (high - low)

    def _set(self, prop, name, value, low=0.0, high=1.0):
        if not self.capture.set(prop, low + value * (high - low)):
            raise OSError(f"OpenCV camera: {name} {value!r} was refused")
        self.changed = True

    def get_exposure(self):
        return self.capture.get(self.cv2.CAP_PROP_EXPOSURE) * self.exposure_unit

    def set_exposure(self, seconds):
        self._set(self.cv2.CAP_PROP_EXPOSURE, "exposure", seconds / self.exposure_unit, 0.0, 1.0)

    def get_contrast(self):
        return self._get(self.cv2.CAP_PROP_CONTRAST, *self.contrast_range)

    def set_contrast(self, value):
        self._set(self.cv2.CAP_PROP_CONTRAST, "contrast", value, *self.contrast_range)

    def get_brightness(self):
        return self._get(self.cv2.CAP_PROP_BRIGHTNESS, *self.brightness_range)

    def set_brightness(self, value):
        self._set(self.cv2.CAP_PROP_BRIGHTNESS, "brightness", value, *self.brightness_range)

    def grab(self):
        if self.changed:
            for _ in range(self.stale_frames):
                self.capture.grab()
            self.changed = False
        ok, frame = self.capture.read()
        if not ok:
            return None  # a failed acquisition: balance raises AcquisitionError
        return frame[:, :, ::-1]  # BGR to RGB, a view: no copy


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    index = int(argv[0]) if argv else 0
    with OpenCVCamera(index) as camera:
        # Webcams rarely go below 100 microseconds or above a frame time.
        result = colorbal.balance(camera, colorbal.Params(exposure_range=(1e-4, 0.03), exposure_step=1e-4))
        print("found:", result.settings)
        # balance handed the camera back as found; result.apply(camera)
        # would write the settings found (close() then puts back automatic
        # exposure, so apply them to a camera you keep open).


if __name__ == "__main__":
    main()
