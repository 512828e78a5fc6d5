"""Plain Python types of the colorbal package: settings and exceptions."""

from typing import NamedTuple, Optional


class Settings(NamedTuple):
    """Camera settings: exposure in seconds, contrast and brightness on 0..1.

    An immutable value that unpacks like a tuple::

        exposure, contrast, brightness = result.settings
    """

    exposure: float
    contrast: float
    brightness: float


class Error(RuntimeError):
    """A failure reported by the library or a camera (a refused property
    write, a camera that stopped answering, a stop request, ...)."""


class BadParams(ValueError):
    """A parameter value that the library rejected; the message names the
    failed condition, e.g. ``minContrastStepSize < 0``."""


class AcquisitionError(Error):
    """An acquisition failed and ended the search.

    ``code`` is the acquisition's failure code (0 when the camera delivered
    no image without a code), ``text`` says what happened, and ``result``
    holds the best settings found before the failure (a ``Result``), or None.
    """

    def __init__(self, code: int, text: str, result: Optional[object] = None) -> None:
        super().__init__(text)
        self.code = code
        self.text = text
        self.result = result
