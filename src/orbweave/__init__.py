"""orbweave: satellite prediction with a fast C++ core.

Build a ``Predictor`` from a two-line element set (``Tle``) or from CCSDS OMM
elements (``Elements``), then ask where the satellite is and when things happen.
"""

from __future__ import annotations

import typing as _typing

from . import _orbweave
from ._orbweave import *  # noqa: F401,F403
from ._orbweave import __all__ as __all__

if _typing.TYPE_CHECKING:
    # Vocabulary of the type stubs; these names do not exist at run time.
    from ._typing import Area as Area
    from ._typing import IntervalRange as IntervalRange
    from ._typing import LatLonLike as LatLonLike

