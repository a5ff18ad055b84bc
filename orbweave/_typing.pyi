"""Names for type checkers only: the duck-typed arguments of orbweave."""

import datetime
import typing

class IntervalRange(typing.Protocol):
    """Anything with `start` and `end` datetime attributes, such as `Interval`."""

    @property
    def start(self) -> datetime.datetime: ...
    @property
    def end(self) -> datetime.datetime: ...

# A point as (latitude_deg, longitude_deg); LatLon and GeodeticPoint join this union
# when those classes exist.
LatLonLike: typing.TypeAlias = tuple[float, float]
