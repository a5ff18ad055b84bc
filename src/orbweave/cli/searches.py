"""The searches behind each subcommand, with knobs chosen from each satellite's orbit.

The library's defaults suit low orbits (a pass or an eclipse of at most an hour).
Here every cap follows the orbit's period, so that a geostationary satellite's
seventy-minute equinox eclipse is found, and passes and area windows are searched
over the interval widened by one period on each side with the walks clamped there:
a window that starts or ends within that margin is reported whole, and one still
open at the margin (a satellite that never sets) is cut at the interval's ends.
"""

from __future__ import annotations

import dataclasses
import datetime as dt
from typing import Callable, Iterable, Iterator, Protocol, Union

import orbweave
from orbweave import catalog

from .inputs import Satellite

Note = Callable[[str], None]


@dataclasses.dataclass(frozen=True)
class Pass:
    satellite: Satellite
    aos: dt.datetime
    culmination: dt.datetime
    los: dt.datetime
    max_elevation_deg: float
    aos_azimuth_deg: float
    los_azimuth_deg: float
    sunlit: bool


@dataclasses.dataclass(frozen=True)
class Window:
    """An eclipse, a sunlit stretch or an area window."""
    satellite: Satellite
    start: dt.datetime
    end: dt.datetime
    state: str = ""


@dataclasses.dataclass(frozen=True)
class TrackPoint:
    satellite: Satellite
    time: dt.datetime
    point: orbweave.GeodeticPoint


class Span(Protocol):
    """What the searches' windows share: a start and an end."""

    @property
    def start(self) -> dt.datetime: ...

    @property
    def end(self) -> dt.datetime: ...


def azimuth(observation: orbweave.Observation) -> float:
    """Compass azimuth in [0, 360)."""
    return observation.azimuth_deg % 360.0


def _whole_windows(satellite: Satellite, interval: orbweave.Interval, what: str, note: Note,
                   search: Callable[[orbweave.Interval, dt.timedelta], Iterable[Span]],
                   ) -> Iterator[tuple[dt.datetime, dt.datetime]]:
    """(start, end) of each window of `search` that overlaps the interval."""
    margin = satellite.period
    wide = orbweave.Interval(interval.start - margin, interval.end + margin)
    for window in search(wide, wide.duration + margin):
        if window.end <= interval.start:
            continue
        if window.start >= interval.end:
            return
        cut = [side for side, clamped in (("start", window.start <= wide.start), ("end", window.end >= wide.end))
               if clamped]
        if cut:
            note(f"{satellite.name}: {what} runs more than an orbit past the interval's {' and '.join(cut)}; "
                 "it is shown cut to the interval")
        yield (interval.start if window.start <= wide.start else window.start,
               interval.end if window.end >= wide.end else window.end)


def passes(satellite: Satellite, site: orbweave.GeodeticPoint, interval: orbweave.Interval, mask_deg: float,
           note: Note) -> Iterator[Pass]:
    predictor = satellite.predictor

    def search(wide: orbweave.Interval, cap: dt.timedelta) -> orbweave.TransitIter:
        return predictor.transits_iter(site, wide, mask_deg, max_transit_duration=cap,
                                       skip_leading_partial=False, clamp_to_interval=True)

    scan_step = max(dt.timedelta(seconds=10), satellite.period / 500)
    for aos, los in _whole_windows(satellite, interval, "the pass", note, search):
        culmination, peak = predictor.max_elevation(site, orbweave.Interval(aos, los), scan_step=scan_step)
        yield Pass(satellite, aos, culmination, los, peak.elevation_deg,
                   azimuth(predictor.observe_at(aos, site)), azimuth(predictor.observe_at(los, site)),
                   predictor.illumination_state(culmination) == orbweave.IlluminationState.Sunlit)


def area_windows(satellite: Satellite, area: orbweave.Area, interval: orbweave.Interval, off_nadir_deg: float,
                 coverage: orbweave.Coverage, note: Note) -> Iterator[Window]:
    def search(wide: orbweave.Interval, cap: dt.timedelta) -> orbweave.AoiIter:
        return satellite.predictor.aoi_iter(area, wide, max_off_nadir_deg=off_nadir_deg, coverage=coverage,
                                            max_window_duration=cap, skip_leading_partial=False,
                                            clamp_to_interval=True)

    for start, end in _whole_windows(satellite, interval, "the area window", note, search):
        yield Window(satellite, start, end)


def eclipses(satellite: Satellite, interval: orbweave.Interval) -> Iterator[Window]:
    """Sunlit and eclipse windows tiling the interval."""
    cap = max(3 * satellite.period, dt.timedelta(hours=3))
    for window in satellite.predictor.illumination_iter(interval, max_window_duration=cap):
        state = "eclipse" if window.state == orbweave.IlluminationState.Eclipse else "sunlit"
        yield Window(satellite, window.start, window.end, state)


def ground_track(satellite: Satellite, interval: orbweave.Interval, step: dt.timedelta) -> Iterator[TrackPoint]:
    for time, point in satellite.predictor.ground_track_iter(interval, step):
        yield TrackPoint(satellite, time, point)


# ---- the searches as tasks of a catalogue run -----------------------------------------

@dataclasses.dataclass(frozen=True)
class Message:
    """A line for standard error; `failed` when it reports a failed search."""
    text: str
    failed: bool = False


Found = Union[Pass, Window, Message]


class Task(Protocol):
    def __call__(self, index: int, satellite: Satellite) -> list[Found]: ...


def _collected(satellite: Satellite, search: Callable[[Note], Iterable[Found]]) -> list[Found]:
    """Everything one satellite's search finds, its notes after it and, when it fails,
    the failure after what it found until then."""
    notes: list[Found] = []
    found = catalog.kept_until_failure(lambda: search(lambda text: notes.append(Message(text))),
                                       lambda error: Message(f"{satellite.name}: {error}", failed=True),
                                       lambda item: item)
    return found + notes


@dataclasses.dataclass(frozen=True)
class PassSearch:
    site: orbweave.GeodeticPoint
    interval: orbweave.Interval
    mask_deg: float

    def __call__(self, index: int, satellite: Satellite) -> list[Found]:
        return _collected(satellite, lambda note: passes(satellite, self.site, self.interval, self.mask_deg, note))


@dataclasses.dataclass(frozen=True)
class EclipseSearch:
    interval: orbweave.Interval

    def __call__(self, index: int, satellite: Satellite) -> list[Found]:
        return _collected(satellite, lambda note: eclipses(satellite, self.interval))


@dataclasses.dataclass(frozen=True)
class AreaSearch:
    area: orbweave.Area
    interval: orbweave.Interval
    off_nadir_deg: float
    coverage: orbweave.Coverage

    def __call__(self, index: int, satellite: Satellite) -> list[Found]:
        return _collected(satellite, lambda note: area_windows(satellite, self.area, self.interval,
                                                               self.off_nadir_deg, self.coverage, note))
