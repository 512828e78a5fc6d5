"""colorbal: balance a colour camera automatically.

The search finds the exposure, contrast and brightness under which the
camera's images come out well exposed. Run it in one call with
``balance(camera)``, or drive it image by image with ``Tool``. A camera is
a ``SimCamera`` (the simulated camera), a ``GenICamCamera`` (where built) or
any subclass of ``Camera`` written in Python.
"""

from ._types import AcquisitionError, BadParams, Error, Settings
from ._colorbal import Camera, Params, Result, SimCamera, Tool, balance

try:
    from ._colorbal import GenICamCamera  # built where the GenICam backend is
except ImportError:
    pass

__all__ = [
    "AcquisitionError",
    "BadParams",
    "Camera",
    "Error",
    "Params",
    "Result",
    "Settings",
    "SimCamera",
    "Tool",
    "balance",
]
if "GenICamCamera" in globals():
    __all__.append("GenICamCamera")
