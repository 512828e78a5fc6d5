"""Type stubs of the compiled part of the colorbal package."""

import os
from typing import Any, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

from ._types import Settings

_Path = Union[str, "os.PathLike[str]"]
_Image = npt.NDArray[np.uint8]
_SettingsLike = Union[Settings, Tuple[float, float, float], Sequence[float]]

class Params:
    """What a search may change and how finely; a rejected value raises BadParams."""

    def __init__(
        self,
        *,
        exposure_range: Optional[Tuple[float, float]] = None,
        vary_exposure: Optional[bool] = None,
        vary_contrast: Optional[bool] = None,
        vary_brightness: Optional[bool] = None,
        exposure_step: Optional[float] = None,
        contrast_step: Optional[float] = None,
        brightness_step: Optional[float] = None,
        positive_lut: Optional[bool] = None,
    ) -> None: ...
    exposure_range: Tuple[float, float]
    vary_exposure: bool
    vary_contrast: bool
    vary_brightness: bool
    exposure_step: float
    contrast_step: float
    brightness_step: float
    positive_lut: bool
    def __eq__(self, other: object) -> bool: ...
    def save(self, path: _Path) -> None: ...
    @staticmethod
    def load(path: _Path) -> "Params": ...

class Result:
    """What a balancing run found."""

    def __init__(self, settings: _SettingsLike, positive_lut: bool = False) -> None: ...
    @property
    def settings(self) -> Settings: ...
    @property
    def positive_lut(self) -> bool: ...
    @property
    def acquisition_number(self) -> int: ...
    @property
    def failure_code(self) -> int: ...
    @property
    def diagnostics(self) -> list[dict[str, Any]]: ...
    def __eq__(self, other: object) -> bool: ...
    def save(self, path: _Path) -> None: ...
    @staticmethod
    def load(path: _Path) -> "Result": ...
    def apply(self, camera: "Camera") -> None: ...

class Camera:
    """Base class of a camera written in Python; see the module documentation."""

    def __init__(self) -> None: ...

class _FifoCamera(Camera):
    def get_exposure(self) -> float: ...
    def set_exposure(self, seconds: float) -> None: ...
    def get_contrast(self) -> float: ...
    def set_contrast(self, value: float) -> None: ...
    def get_brightness(self) -> float: ...
    def set_brightness(self, value: float) -> None: ...
    def get_lut(self) -> npt.NDArray[np.uint8]: ...
    def set_lut(self, table: Sequence[int]) -> None: ...
    def grab(self) -> _Image: ...
    @property
    def trigger_enabled(self) -> bool: ...
    @property
    def trigger_model(self) -> str: ...

class SimCamera(_FifoCamera):
    """The simulated colour camera, with fault injection."""

    def __init__(
        self,
        scene: Union[str, "os.PathLike[str]", _Image] = "chart",
        size: Tuple[int, int] = (640, 480),
        seed: int = 1,
        *,
        noise: bool = True,
        taps: int = 1,
        exposure: float = 0.01,
        contrast: float = 0.5,
        brightness: float = 0.0,
        failure_code_at: int = 0,
        failure_code: int = 1,
        unbound_image_at: int = 0,
        empty_handle_at: int = 0,
        timeout_at: int = 0,
        attention_failure_before: int = 0,
        attention_status: int = 1,
        fail_write_at: int = 0,
        fail_later_writes: bool = False,
    ) -> None: ...
    @property
    def images(self) -> int: ...
    @property
    def size(self) -> Tuple[int, int]: ...

class GenICamCamera(_FifoCamera):
    """A GenICam camera; present where the GenICam backend was built."""

    def __init__(self, name: Optional[str] = None) -> None: ...
    @property
    def id(self) -> str: ...

class Tool:
    """The search driven image by image."""

    def __init__(self, params: Params = ...) -> None: ...
    def start(self, settings_now: _SettingsLike) -> Settings: ...
    def feed(self, image: _Image) -> Settings: ...
    @property
    def done(self) -> bool: ...
    @property
    def result(self) -> Settings: ...
    @property
    def params(self) -> Params: ...

def balance(camera: Camera, params: Params = ..., diagnostics: bool = False) -> Result: ...
