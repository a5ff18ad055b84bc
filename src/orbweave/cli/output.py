"""Output of the command: aligned tables (rich), CSV and JSON, and the texts of times.

Machine formats carry ISO 8601 UTC times to the millisecond and numbers rounded to
what the searches resolve; tables carry times to the second.
"""

from __future__ import annotations

import csv
import dataclasses
import datetime as dt
import json
import sys
from typing import Any, Callable, Generic, Optional, Sequence, TypeVar

from rich import box
from rich.console import Console
from rich.table import Table

Record = TypeVar("Record")

_COMPASS = ("N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE", "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW")


def _rounded(time: dt.datetime, unit: dt.timedelta) -> dt.datetime:
    """`time` rounded to a whole `unit` (a millisecond or a second), halves up."""
    since = time - dt.datetime.min.replace(tzinfo=time.tzinfo)
    return time - since % unit + (unit if 2 * (since % unit) >= unit else dt.timedelta(0))


def iso(time: dt.datetime) -> str:
    """ISO 8601 UTC to the millisecond: 2024-03-20T12:00:00.000Z."""
    return _rounded(time, dt.timedelta(milliseconds=1)).strftime("%Y-%m-%dT%H:%M:%S.%f")[:-3] + "Z"


def clock(time: dt.datetime, day: dt.datetime | None = None) -> str:
    """Date and time to the second; only the time (with +Nd for a later day) after `day`."""
    time = _rounded(time, dt.timedelta(seconds=1))
    if day is None:
        return time.strftime("%Y-%m-%d %H:%M:%S")
    days = (time.date() - _rounded(day, dt.timedelta(seconds=1)).date()).days
    return time.strftime("%H:%M:%S") + (f" +{days}d" if days else "")


def span(length: dt.timedelta) -> str:
    """A duration to the second: 20s, 9m 05s, 1h 09m 25s, 2d 03h 00m."""
    seconds = round(length.total_seconds())
    days, rest = divmod(seconds, 86400)
    hours, rest = divmod(rest, 3600)
    minutes, seconds = divmod(rest, 60)
    if days:
        return f"{days}d {hours:02d}h {minutes:02d}m"
    if hours:
        return f"{hours}h {minutes:02d}m {seconds:02d}s"
    if minutes:
        return f"{minutes}m {seconds:02d}s"
    return f"{seconds}s"


def bearing(azimuth_deg: float) -> str:
    """An azimuth with its compass point: 251° WSW."""
    return f"{azimuth_deg:3.0f}° {_COMPASS[round(azimuth_deg / 22.5) % 16]:<3}"


def seconds(length: dt.timedelta) -> float:
    return round(length.total_seconds(), 3)


@dataclasses.dataclass(frozen=True)
class Column(Generic[Record]):
    """One field of a record: its CSV/JSON key and value, and its table heading and
    text (the value itself where no text is given)."""
    heading: str
    key: str
    value: Callable[[Record], Any]
    text: Optional[Callable[[Record], str]] = None
    numeric: bool = False

    def cell(self, record: Record) -> str:
        return self.text(record) if self.text else str(self.value(record))


def _table(title: str, columns: Sequence[Column[Record]], records: Sequence[Record]) -> None:
    # Off a terminal the table keeps its natural width instead of wrapping at 80 columns.
    console = Console(file=sys.stdout, width=None if sys.stdout.isatty() else 10_000, highlight=False)
    table = Table(box=box.SIMPLE_HEAD, show_edge=False)
    for column in columns:
        table.add_column(column.heading, justify="right" if column.numeric else "left", no_wrap=True)
    for record in records:
        table.add_row(*(column.cell(record) for column in columns))
    with console.capture() as captured:
        console.print(table)
    sys.stdout.write(title + "\n" + "".join(line.rstrip() + "\n" for line in captured.get().splitlines()))


def _csv(columns: Sequence[Column[Record]], records: Sequence[Record]) -> None:
    row = CsvStream(columns)
    for record in records:
        row(record)


def _csv_value(value: Any) -> Any:
    return str(value).lower() if isinstance(value, bool) else value


def _json(columns: Sequence[Column[Record]], records: Sequence[Record]) -> None:
    json.dump([{column.key: column.value(record) for column in columns} for record in records],
              sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write("\n")


def write(form: str, title: str, columns: Sequence[Column[Record]], records: Sequence[Record]) -> None:
    """The records as a table, CSV or JSON on standard output."""
    if form == "table":
        _table(title, columns, records)
    elif form == "csv":
        _csv(columns, records)
    else:
        _json(columns, records)


class _Stdout:
    """Writes to whatever `sys.stdout` is at the time, so that a live progress bar can
    route the rows above itself."""

    def write(self, text: str) -> int:
        return sys.stdout.write(text)


class CsvStream(Generic[Record]):
    """CSV rows written as the records come, for outputs too long to hold."""

    def __init__(self, columns: Sequence[Column[Record]]) -> None:
        self._columns = columns
        self._writer = csv.writer(_Stdout(), lineterminator="\n")
        self._writer.writerow(column.key for column in columns)

    def __call__(self, record: Record) -> None:
        self._writer.writerow(_csv_value(column.value(record)) for column in self._columns)
