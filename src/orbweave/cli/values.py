"""Option values of the command: sites, areas, instants and durations, read from text.

Each reader raises `argparse.ArgumentTypeError` with a message that says what is
wrong, so that the parser can name the option in front of it.
"""

from __future__ import annotations

import argparse
import datetime as dt
import math
import re

import orbweave

UTC = dt.timezone.utc

# Step and duration texts: a number of seconds, or a number followed by a unit.
_UNITS = {"": 1.0, "s": 1.0, "m": 60.0, "min": 60.0, "h": 3600.0, "d": 86400.0}
_DURATION = re.compile(r"\s*([0-9.eE+-]+)\s*([a-z]*)\s*")


def _numbers(text: str, usage: str, names: tuple[str, ...], minimum: int = 0) -> list[float]:
    """The comma-separated finite numbers of `text`, one per name (at least `minimum` of them)."""
    parts = text.split(",")
    if not (minimum or len(names)) <= len(parts) <= len(names):
        raise argparse.ArgumentTypeError(f"expected {usage}, got {text!r}")
    values = []
    for name, part in zip(names, parts):
        try:
            value = float(part)
        except ValueError:
            raise argparse.ArgumentTypeError(f"{name} {part.strip()!r} is not a number") from None
        if not math.isfinite(value):
            raise argparse.ArgumentTypeError(f"{name} must be a finite number, got {part.strip()!r}")
        values.append(value)
    return values


def _within(name: str, value: float, low: float, high: float, unit: str = "") -> None:
    if not low <= value <= high:
        raise argparse.ArgumentTypeError(f"{name} {value:g}{unit} is outside [{low:g}, {high:g}]{unit}")


def site(text: str) -> orbweave.GeodeticPoint:
    """LAT,LON[,ALT_M]: degrees, degrees and metres above the WGS-84 ellipsoid."""
    values = _numbers(text, "LAT,LON[,ALT_M]", ("latitude", "longitude", "altitude"), minimum=2)
    latitude, longitude = values[0], values[1]
    altitude = values[2] if len(values) == 3 else 0.0
    _within("latitude", latitude, -90.0, 90.0, "°")
    _within("longitude", longitude, -180.0, 360.0, "°")
    _within("altitude", altitude, -1000.0, 100_000.0, " m")
    return orbweave.GeodeticPoint(latitude, longitude, altitude)


def _area(make, *arguments):  # type: ignore[no-untyped-def]
    try:
        return make(*arguments)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error).removeprefix("Area of interest error: ")) from None


def circle(text: str) -> orbweave.Circle:
    """LAT,LON,RADIUS_DEG: a spherical cap."""
    latitude, longitude, radius = _numbers(text, "LAT,LON,RADIUS_DEG", ("latitude", "longitude", "radius"))
    return _area(orbweave.Circle, (latitude, longitude), radius)  # type: ignore[no-any-return]


def box(text: str) -> orbweave.Rectangle:
    """SOUTH,WEST,NORTH,EAST: a latitude/longitude box running east from WEST to EAST.

    WEST and EAST on the same meridian (-180 and 180) mean every longitude."""
    south, west, north, east = _numbers(text, "SOUTH,WEST,NORTH,EAST", ("south", "west", "north", "east"))
    if south >= north:
        raise argparse.ArgumentTypeError(f"south {south:g}° must lie below north {north:g}°")
    if west == east:
        raise argparse.ArgumentTypeError("west and east must differ (-180 and 180 for every longitude)")
    if (east - west) % 360.0 == 0.0:
        return _area(orbweave.Rectangle.latitude_band, south, north)  # type: ignore[no-any-return]
    return _area(orbweave.Rectangle, (south, west), (north, east))  # type: ignore[no-any-return]


def instant(text: str) -> dt.datetime:
    """An ISO 8601 date or date and time; UTC unless it names an offset; `now` for now."""
    if text.strip().lower() == "now":
        return dt.datetime.now(UTC).replace(microsecond=0)
    iso = text.strip()
    if iso[-1:] in ("Z", "z"):
        iso = iso[:-1] + "+00:00"
    try:
        value = dt.datetime.fromisoformat(iso)
    except ValueError:
        raise argparse.ArgumentTypeError(
            f"{text!r} is not an ISO 8601 date and time (for example 2024-03-20T12:00:00Z)") from None
    return value.replace(tzinfo=UTC) if value.tzinfo is None else value.astimezone(UTC)


def duration(text: str) -> dt.timedelta:
    """A positive duration: seconds, or a number with a unit s, m, h or d (`90`, `30s`, `2m`)."""
    match = _DURATION.fullmatch(text)
    scale = _UNITS.get(match.group(2)) if match else None
    try:
        seconds = float(match.group(1)) * scale if match and scale else math.nan
    except ValueError:
        seconds = math.nan
    if not math.isfinite(seconds):
        raise argparse.ArgumentTypeError(f"{text!r} is not a duration (seconds, or a number with s, m, h or d)")
    if not 0.001 <= seconds <= 366 * 86400.0:
        raise argparse.ArgumentTypeError(f"{text!r} is outside 1 ms to 366 days")
    return dt.timedelta(seconds=seconds)


def days(text: str) -> float:
    """A positive number of days, at most a century."""
    (value,) = _numbers(text, "a number of days", ("days",))
    if not 0.0 < value <= 36525.0:
        raise argparse.ArgumentTypeError(f"{value:g} days is outside (0, 36525]")
    return value


def mask(text: str) -> float:
    """An elevation mask in degrees."""
    (value,) = _numbers(text, "an elevation in degrees", ("mask",))
    _within("mask", value, -90.0, 89.9, "°")
    return value


def off_nadir(text: str) -> float:
    """A field-of-regard half-angle in degrees."""
    (value,) = _numbers(text, "an angle in degrees", ("off-nadir angle",))
    _within("off-nadir angle", value, 0.0, 89.9, "°")
    return value


def jobs(text: str) -> int:
    """A number of worker processes."""
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a whole number") from None
    if not 1 <= value <= 1024:
        raise argparse.ArgumentTypeError(f"{value} is outside [1, 1024]")
    return value
