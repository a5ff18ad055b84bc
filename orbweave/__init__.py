"""orbweave: satellite prediction with a fast C++ core.

Build a ``Predictor`` from a two-line element set (``Tle``) or from CCSDS OMM
elements (``Elements``), then ask where the satellite is and when things happen.
"""

from __future__ import annotations

import datetime as _datetime
import typing as _typing

from . import _orbweave
from ._orbweave import *  # noqa: F401,F403

__all__ = list(_orbweave.__all__)


class IntervalRange(_typing.Protocol):
    """Anything with ``start`` and ``end`` datetime attributes, such as ``Interval``."""

    @property
    def start(self) -> _datetime.datetime: ...

    @property
    def end(self) -> _datetime.datetime: ...
