"""One function per subcommand: read the inputs, run the search per satellite, write the output.

Each returns the exit status: 0, or 1 when the search failed for some satellite
(the others still ran). Bad input raises `InputError` before any search starts.
"""

from __future__ import annotations

import argparse
import concurrent.futures as futures
import contextlib
import dataclasses
import datetime as dt
import math
import multiprocessing
import os
import signal
import sys
from typing import Any, Callable, Iterable, Iterator, TypeVar

import orbweave
from orbweave import catalog

from . import output, searches
from .inputs import InputError, Satellite, load_satellites, parse_polygon, read_text, sample
from .output import Column, bearing, clock, iso, seconds, span
from .searches import Pass, TrackPoint, Window

Record = TypeVar("Record")

DEFAULT_SITE = orbweave.GeodeticPoint(51.4769, -0.0005, 46.0)
DEFAULT_SITE_TEXT = "Greenwich, 51.4769,-0.0005,46"
FRESH_ELEMENTS = dt.timedelta(days=14)


def note(text: str) -> None:
    """One line on standard error (above the progress bar while it runs)."""
    print(f"orbweave: {text}", file=sys.stderr)


# ---- inputs shared by the subcommands -------------------------------------------------

def satellites_of(args: argparse.Namespace) -> list[Satellite]:
    if args.tle or args.omm:
        return load_satellites(args.tle, args.omm)
    satellites = sample()
    epoch = max(s.epoch for s in satellites)
    note(f"no --tle or --omm given: using the sample elements of {epoch:%Y-%m-%d} "
         f"({', '.join(s.name for s in satellites)})")
    return satellites


def site_of(args: argparse.Namespace) -> orbweave.GeodeticPoint:
    if args.site is not None:
        return args.site  # type: ignore[no-any-return]
    note(f"no --site given: using {DEFAULT_SITE_TEXT}")
    return DEFAULT_SITE


def start_of(args: argparse.Namespace, satellites: list[Satellite]) -> dt.datetime:
    """--start; by default now, or the newest epoch when the elements are not fresh."""
    if args.start is not None:
        return args.start  # type: ignore[no-any-return]
    now = dt.datetime.now(dt.timezone.utc).replace(microsecond=0)
    newest = max(s.epoch for s in satellites)
    if abs(now - newest) < FRESH_ELEMENTS:
        return now
    age = now - newest
    dated = f"{age.days} days old" if age > dt.timedelta(0) else f"dated {-age.days} days ahead"
    note(f"the elements are {dated}: starting at their epoch, {clock(newest)} UTC (choose another with --start)")
    return newest


def interval_of(start: dt.datetime, length: dt.timedelta) -> orbweave.Interval:
    try:
        return orbweave.Interval(start, start + length)
    except OverflowError:
        raise InputError(f"--days: the interval from {clock(start)} ends after the year 9999") from None


def describe_site(site: orbweave.GeodeticPoint) -> str:
    return f"{site.latitude_deg:g}°, {site.longitude_deg:g}°, {site.altitude:g} m"


def describe_interval(interval: orbweave.Interval) -> str:
    return f"{clock(interval.start)} to {clock(interval.end)} UTC"


# ---- running a search over every satellite ---------------------------------------------

@contextlib.contextmanager
def _progress(total: int, label: str) -> Iterator[catalog.Progress]:
    """A callback `(done, total)`: a bar on standard error when it is a terminal,
    nothing otherwise."""
    if not sys.stderr.isatty():
        yield lambda done, total: None
        return
    from rich.console import Console
    from rich.progress import BarColumn, MofNCompleteColumn, Progress, TextColumn, TimeElapsedColumn

    columns = (TextColumn(label), BarColumn(), MofNCompleteColumn(), TimeElapsedColumn())
    with Progress(*columns, console=Console(stderr=True), transient=True,
                  redirect_stdout=sys.stdout.isatty()) as progress:
        task = progress.add_task("", total=total)
        yield lambda done, total: progress.update(task, completed=done)


def _reported(error: BaseException, satellite: Satellite) -> int:
    """Names the satellite whose search failed; the exit status that follows."""
    if not catalog.is_search_error(error):
        raise error
    note(f"{satellite.name}: {error}")
    return 1


def for_each(satellites: list[Satellite], label: str, search: Callable[[Satellite], Iterable[Record]],
             emit: Callable[[Record], None]) -> int:
    """Runs `search` for every satellite in this process and passes each record to
    `emit` as it comes, for outputs too long to hold. A failed search is reported with
    the satellite's name, keeps what it found, and the others still run; the result
    is the exit status."""
    status = 0
    with _progress(len(satellites), label) as progress:
        for done, satellite in enumerate(satellites, 1):
            try:
                for record in search(satellite):
                    emit(record)
            except BaseException as error:  # noqa: B036 (the interrupts are raised again)
                status = _reported(error, satellite)
            progress(done, len(satellites))
    return status


# A worker process answers Ctrl-C by stopping its task, and refuses the tasks after
# it; it raises KeyboardInterrupt only within a task, since an idle worker that raised
# it would die with a traceback instead of waiting for the pool to end it.
_running_task = False
_interrupted = False


def _on_interrupt(signum: int, frame: Any) -> None:
    global _interrupted
    _interrupted = True
    if _running_task:
        raise KeyboardInterrupt


def _start_worker() -> None:
    signal.signal(signal.SIGINT, _on_interrupt)


@dataclasses.dataclass(frozen=True)
class _Interruptible:
    """A search task that a worker's Ctrl-C stops."""
    task: searches.Task

    def __call__(self, index: int, satellite: Satellite) -> list[searches.Found]:
        global _running_task
        if _interrupted:
            raise KeyboardInterrupt
        _running_task = True
        try:
            return self.task(index, satellite)
        finally:
            _running_task = False


@contextlib.contextmanager
def _executor(jobs: int) -> Iterator[futures.Executor]:
    if jobs == 1:
        yield catalog.SerialExecutor()
        return
    pool = catalog.process_pool(jobs, initializer=_start_worker)
    try:
        yield pool
    except BaseException:
        # Ctrl-C reaches the workers too when it comes from the terminal; when it came
        # to this process alone, pass it on, so that their tasks stop at once.
        for child in multiprocessing.active_children():
            with contextlib.suppress(OSError):
                os.kill(child.pid, signal.SIGINT)  # type: ignore[arg-type]
        pool.shutdown(wait=True, cancel_futures=True)
        raise
    pool.shutdown()


def gather(args: argparse.Namespace, satellites: list[Satellite], label: str, task: searches.Task) -> tuple[list[Any], int]:
    """Runs a search task for every satellite, on `--jobs` worker processes, and returns
    what it found (in the satellites' order) and the exit status."""
    found: list[Any] = []
    status = 0
    with _progress(len(satellites), label) as progress, _executor(args.jobs) as executor:
        for item in catalog.run_iter(_Interruptible(task), satellites, executor=executor, chunksize=1, progress=progress):
            if isinstance(item, searches.Message):
                note(item.text)
                status = max(status, int(item.failed))
            else:
                found.append(item)
    return found, status


def _plotting(args: argparse.Namespace):  # type: ignore[no-untyped-def]
    """The plot module, checked before any search so that a bad --plot fails at once."""
    from . import plots
    plots.check(args.plot)
    return plots


def _write(args: argparse.Namespace, what: str, title: str, columns: list[Column[Any]], records: list[Any]) -> None:
    if args.format == "table" and not records:
        note(f"no {what} found")
        return
    output.write(args.format, title, columns, records)


# ---- passes -------------------------------------------------------------------------

def _name(record: Any) -> str:
    return record.satellite.name  # type: ignore[no-any-return]


def _norad(record: Any) -> int:
    return record.satellite.norad_id  # type: ignore[no-any-return]


PASS_COLUMNS: list[Column[Pass]] = [
    Column("Satellite", "satellite", _name),
    Column("NORAD", "norad_id", _norad, numeric=True),
    Column("AoS (UTC)", "aos", lambda p: iso(p.aos), lambda p: clock(p.aos)),
    Column("Culmination", "culmination", lambda p: iso(p.culmination), lambda p: clock(p.culmination, p.aos)),
    Column("Max el", "max_elevation_deg", lambda p: round(p.max_elevation_deg, 3),
           lambda p: f"{p.max_elevation_deg:.1f}°", numeric=True),
    Column("AoS az", "aos_azimuth_deg", lambda p: round(p.aos_azimuth_deg, 3), lambda p: bearing(p.aos_azimuth_deg),
           numeric=True),
    Column("LoS az", "los_azimuth_deg", lambda p: round(p.los_azimuth_deg, 3), lambda p: bearing(p.los_azimuth_deg),
           numeric=True),
    Column("LoS", "los", lambda p: iso(p.los), lambda p: clock(p.los, p.aos)),
    Column("Duration", "duration_s", lambda p: seconds(p.los - p.aos), lambda p: span(p.los - p.aos), numeric=True),
    Column("Sunlit", "sunlit", lambda p: p.sunlit, lambda p: "yes" if p.sunlit else "no"),
]


def passes(args: argparse.Namespace) -> int:
    plots = _plotting(args) if args.plot else None
    satellites = satellites_of(args)
    site = site_of(args)
    interval = interval_of(start_of(args, satellites), dt.timedelta(days=args.days))
    found, status = gather(args, satellites, "passes", searches.PassSearch(site, interval, args.mask))
    found.sort(key=lambda p: (p.aos, p.satellite.name))
    title = f"Passes above {args.mask:g}° over {describe_site(site)}, {describe_interval(interval)}"
    _write(args, "passes", title, PASS_COLUMNS, found)
    if plots:
        plots.sky(args.plot, found, site, args.mask, title)
        note(f"wrote {args.plot}")
    return status


# ---- track --------------------------------------------------------------------------

TRACK_COLUMNS: list[Column[TrackPoint]] = [
    Column("Satellite", "satellite", _name),
    Column("NORAD", "norad_id", _norad),
    Column("Time (UTC)", "time", lambda t: iso(t.time)),
    Column("Latitude", "latitude_deg", lambda t: round(t.point.latitude_deg, 6)),
    Column("Longitude", "longitude_deg", lambda t: round(t.point.longitude_deg, 6)),
    Column("Altitude", "altitude_km", lambda t: round(t.point.altitude / 1000.0, 4)),
]


def track(args: argparse.Namespace) -> int:
    plots = _plotting(args) if args.plot else None
    satellites = satellites_of(args)
    site = site_of(args) if plots else None
    start = start_of(args, satellites)
    # By default one orbit of each satellite.
    lengths = {id(s): dt.timedelta(days=args.days) if args.days else s.period for s in satellites}
    intervals = {id(s): interval_of(start, lengths[id(s)]) for s in satellites}
    row = output.CsvStream(TRACK_COLUMNS)
    points: list[TrackPoint] = []

    def emit(point: TrackPoint) -> None:
        row(point)
        if plots:
            points.append(point)

    status = for_each(satellites, "track", lambda s: searches.ground_track(s, intervals[id(s)], args.step), emit)
    if plots and site is not None:
        span_text = f"{args.days:g} days" if args.days else "one orbit"
        plots.ground_track(args.plot, points, site, args.mask, f"Ground track from {clock(start)} UTC, {span_text}")
        note(f"wrote {args.plot}")
    return status


# ---- eclipses -----------------------------------------------------------------------

WINDOW_COLUMNS: list[Column[Window]] = [
    Column("Satellite", "satellite", _name),
    Column("NORAD", "norad_id", _norad, numeric=True),
    Column("Start (UTC)", "start", lambda w: iso(w.start), lambda w: clock(w.start)),
    Column("End (UTC)", "end", lambda w: iso(w.end), lambda w: clock(w.end)),
    Column("Duration", "duration_s", lambda w: seconds(w.end - w.start), lambda w: span(w.end - w.start),
           numeric=True),
]

ILLUMINATION_COLUMNS = WINDOW_COLUMNS[:2] + [Column("State", "state", lambda w: w.state)] + WINDOW_COLUMNS[2:]


def eclipses(args: argparse.Namespace) -> int:
    satellites = satellites_of(args)
    interval = interval_of(start_of(args, satellites), dt.timedelta(days=args.days))
    found, status = gather(args, satellites, "eclipses", searches.EclipseSearch(interval))
    if args.eclipses_only:
        found = [w for w in found if w.state == "eclipse"]
    what = "eclipses" if args.eclipses_only else "sunlit and eclipse windows"
    title = f"{what.capitalize()}, {describe_interval(interval)}"
    _write(args, what, title, ILLUMINATION_COLUMNS, found)
    return status


# ---- aoi ----------------------------------------------------------------------------

def area_of(args: argparse.Namespace) -> tuple[orbweave.Area, str]:
    if args.polygon is not None:
        label, text = read_text(args.polygon)
        return parse_polygon(label, text, note), f"the polygon of {label}"
    if args.circle is not None:
        centre = args.circle.centre
        return args.circle, (f"the circle of {args.circle.radius_deg:g}° around "
                             f"{centre.latitude_deg:g}°, {centre.longitude_deg:g}°")
    (south, north), (west, extent) = args.box.latitudes_deg, args.box.longitudes_deg
    if extent >= 360.0:
        return args.box, f"the band {south:g}° to {north:g}°"
    east = math.remainder(west + extent, 360.0)
    return args.box, f"the box {south:g}°, {west:g}° to {north:g}°, {east:g}°"


def aoi(args: argparse.Namespace) -> int:
    area, area_text = area_of(args)
    coverage = orbweave.Coverage.Full if args.coverage == "full" else orbweave.Coverage.Any
    if coverage == orbweave.Coverage.Full and args.off_nadir == 0.0:
        note("--coverage full with --off-nadir 0 never opens a window: the reach is a single point")
    satellites = satellites_of(args)
    interval = interval_of(start_of(args, satellites), dt.timedelta(days=args.days))
    found, status = gather(args, satellites, "aoi",
                           searches.AreaSearch(area, interval, args.off_nadir, coverage))
    found.sort(key=lambda w: (w.start, w.satellite.name))
    reach = f"within {args.off_nadir:g}° of nadir" if args.off_nadir else "under the ground track"
    title = f"Windows with {args.coverage} of {area_text} {reach}, {describe_interval(interval)}"
    _write(args, "area windows", title, WINDOW_COLUMNS, found)
    return status


# ---- propagate ----------------------------------------------------------------------

def _state_table(satellite: Satellite) -> Iterator[str]:
    """The satellite's TEME state over its first three hours, every 30 minutes."""
    predictor = satellite.predictor
    yield f"{satellite.name}: epoch {predictor.epoch.isoformat()}"
    yield f"{'minutes':>8} {'x km':>12} {'y km':>12} {'z km':>12} {'|r| km':>10} {'|v| km/s':>9}"
    for minutes in range(0, 181, 30):
        state = predictor.propagate(predictor.epoch + dt.timedelta(minutes=minutes))
        r, v = state.position, state.velocity
        yield (f"{minutes:8d} {r.x / 1e3:12.3f} {r.y / 1e3:12.3f} {r.z / 1e3:12.3f} "
               f"{math.hypot(r.x, r.y, r.z) / 1e3:10.3f} {math.hypot(v.x, v.y, v.z) / 1e3:9.4f}")


def propagate(args: argparse.Namespace) -> int:
    satellites = satellites_of(args)
    return for_each(satellites, "propagate", _state_table, print)

