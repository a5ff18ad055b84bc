"""Names for type checkers only: the duck-typed arguments of orbweave."""

import datetime
import typing

from ._orbweave import Circle, GeodeticPoint, LatLon, Polygon, Rectangle

class IntervalRange(typing.Protocol):
    """Anything with `start` and `end` datetime attributes, such as `Interval`."""

    @property
    def start(self) -> datetime.datetime: ...
    @property
    def end(self) -> datetime.datetime: ...

# A surface point: a LatLon, a GeodeticPoint (its altitude ignored) or
# (latitude_deg, longitude_deg).
LatLonLike: typing.TypeAlias = typing.Union[LatLon, GeodeticPoint, tuple[float, float]]

# An area of interest.
Area: typing.TypeAlias = typing.Union[Polygon, Rectangle, Circle]
