"""Type stubs for the compiled module orbweave._orbweave."""

import datetime
import typing

import orbweave

__all__ = ["Interval"]

@typing.final
class Interval:
    """A concrete `[start, end)` interval."""

    def __new__(cls, start: datetime.datetime, end: datetime.datetime) -> Interval: ...
    @property
    def start(self) -> datetime.datetime:
        """Inclusive start of the interval."""
    @property
    def end(self) -> datetime.datetime:
        """Exclusive end of the interval."""
    @property
    def duration(self) -> datetime.timedelta:
        """Length of the interval."""
    @property
    def mid_point(self) -> datetime.datetime:
        """The instant halfway between `start` and `end`."""
    def intersection(self, other: orbweave.IntervalRange) -> typing.Optional[Interval]:
        """The overlap with `other`, or None if the two do not overlap."""
    def __eq__(self, other: object, /) -> bool: ...
    def __ne__(self, other: object, /) -> bool: ...
    def __hash__(self) -> int: ...
