"""Names for type checkers only: the duck-typed arguments of orbweave."""

import datetime
import typing

from ._orbweave import GeodeticPoint

class IntervalRange(typing.Protocol):
    """Anything with `start` and `end` datetime attributes, such as `Interval`."""

    @property
    def start(self) -> datetime.datetime: ...
    @property
    def end(self) -> datetime.datetime: ...

# A surface point: a GeodeticPoint (its altitude ignored) or (latitude_deg,
# longitude_deg); LatLon joins this union when that class exists.
LatLonLike: typing.TypeAlias = typing.Union[GeodeticPoint, tuple[float, float]]
