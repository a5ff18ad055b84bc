"""Catalogue runs: many satellites against many sites or areas, on any executor.

Readers turn multi-satellite inputs (TLE text, OMM JSON) into element sets, with
every bad entry reported by its position. The runs take every satellite against
every site (or area), split the satellites into chunks and hand the chunks to a
``concurrent.futures.Executor``: a local process pool by default, or any other,
such as a Dask client's ``client.get_executor()``. Results come back as plain
records in a fixed order (satellite, then site, then time) whatever the executor
and the order in which its chunks finish. A satellite whose search fails gives a
``Failure`` record after what it found until then, and the others go on.

    sats = catalog.read_tle(open("active.tle").read(), skip_bad=True)
    for record in catalog.passes(sats, [site], Interval(t0, t1), 10.0):
        ...
"""

from __future__ import annotations

import array
import concurrent.futures as futures
import dataclasses
import datetime as dt
import json
import math
import multiprocessing
import os
import re
from typing import Any, Callable, Generic, Iterable, Iterator, NamedTuple, Optional, Sequence, TypeVar, Union, cast

import orbweave

Satellite = Union[orbweave.Predictor, orbweave.Elements, orbweave.Tle]
Progress = Callable[[int, int], None]
Result = TypeVar("Result")


# ---- readers ---------------------------------------------------------------------------

@dataclasses.dataclass(frozen=True)
class BadEntry:
    """An entry of a catalogue input that could not be read: where it is (``lines 4-5``,
    ``record 3``; empty for the text as a whole), its name when it has one, and what
    is wrong with it."""
    position: str
    name: Optional[str]
    message: str

    def __str__(self) -> str:
        named = f" ({self.name})" if self.name else ""
        return f"{self.position}{named}: {self.message}" if self.position else self.message


class CatalogError(ValueError):
    """A bad entry of a catalogue input; ``entry`` says which and why."""

    def __init__(self, entry: BadEntry) -> None:
        super().__init__(str(entry))
        self.entry = entry


def _collect(entries: Iterator[Union[orbweave.Elements, BadEntry]], skip_bad: bool,
             bad: Optional[list[BadEntry]]) -> list[orbweave.Elements]:
    read = []
    for entry in entries:
        if isinstance(entry, BadEntry):
            if not skip_bad:
                raise CatalogError(entry)
            if bad is not None:
                bad.append(entry)
        else:
            read.append(entry)
    return read


def _is_comment(line: str) -> bool:
    return line.startswith("#")


def _tle_entries(text: str) -> Iterator[Union[orbweave.Elements, BadEntry]]:
    """Two- and three-line entries, mixed; blank lines and `#` comment lines skipped. A
    name line may carry the `0 ` prefix of the three-line format."""
    lines = [(number, line.rstrip()) for number, line in enumerate(text.splitlines(), 1)
             if line.strip() and not _is_comment(line.lstrip())]
    index = 0
    while index < len(lines):
        if lines[index][1].startswith("1 ") and index + 1 < len(lines) and lines[index + 1][1].startswith("2 "):
            name, data = "", lines[index:index + 2]
        else:
            number, name = lines[index]
            name = name.strip().removeprefix("0 ").strip()
            data = lines[index + 1:index + 3]
            if len(data) < 2 or not (data[0][1].startswith("1") and data[1][1].startswith("2")):
                yield BadEntry(f"line {number}", name or None, "expected a name line followed by two TLE lines")
                index += 1
                continue
            index += 1
        index += 2
        (first, line_1), (second, line_2) = data
        try:
            yield orbweave.Tle(name, line_1, line_2).to_elements()
        except ValueError as error:
            yield BadEntry(f"lines {first}-{second}", name or None, str(error))


def read_tle(text: str, *, skip_bad: bool = False, bad: Optional[list[BadEntry]] = None) -> list[orbweave.Elements]:
    """The element sets of a TLE text: two- or three-line entries, mixed, blank lines
    and `#` comments tolerated. A bad entry raises `CatalogError`, or with `skip_bad`
    is left out (and appended to `bad` when a list is given)."""
    return _collect(_tle_entries(text), skip_bad, bad)


# The OMM reader's position of a fault within the text it was given; for one record of
# a list that text is made here, so the record's number is given instead.
_POSITION = re.compile(r" at line \d+ column \d+$")


def _object_name(record: dict[str, Any]) -> Optional[str]:
    name = record.get("OBJECT_NAME")
    return (name.strip() or None) if isinstance(name, str) else None


def _omm_entries(document: list[Any]) -> Iterator[Union[orbweave.Elements, BadEntry]]:
    for number, record in enumerate(document, 1):
        if not isinstance(record, dict):
            yield BadEntry(f"record {number}", None, f"expected an OMM object, found {json_type(record)}")
            continue
        try:
            yield orbweave.Elements.from_dict(record)
        except (ValueError, TypeError) as error:
            yield BadEntry(f"record {number}", _object_name(record), _POSITION.sub("", str(error)))


def _reject_constant(name: str) -> Any:
    raise ValueError(f"{name} is not valid JSON")


def _no_duplicate_keys(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    result: dict[str, Any] = {}
    for key, value in pairs:
        if key in result:
            raise ValueError(f"duplicate key {key!r}")
        result[key] = value
    return result


def strict_json(text: str) -> Any:
    """JSON as the element reader takes it: no NaN or Infinity, no key given twice.
    Raises ValueError."""
    try:
        return json.loads(text, parse_constant=_reject_constant, object_pairs_hook=_no_duplicate_keys)
    except RecursionError:
        raise ValueError("nested too deeply") from None


def json_type(value: Any) -> str:
    """What a JSON value is, in words."""
    names = {dict: "an object", list: "a list", str: "a string", bool: "a boolean", type(None): "null"}
    return names.get(type(value), "a number")


def read_omm(text: str, *, skip_bad: bool = False, bad: Optional[list[BadEntry]] = None) -> list[orbweave.Elements]:
    """The element sets of an OMM JSON text: one object or a list of them. Text that is
    not JSON, or JSON that is neither, raises `CatalogError`; a bad record raises it
    too, or with `skip_bad` is left out (and appended to `bad`)."""
    try:
        document = strict_json(text)
    except ValueError as error:
        raise CatalogError(BadEntry("", None, f"not valid JSON: {error}")) from None
    if isinstance(document, dict):
        # The element reader itself reads a lone object, so that a fault is placed by
        # its line and column in the text.
        try:
            return [orbweave.Elements.from_json(text)]
        except ValueError as error:
            return _collect(iter([BadEntry("record 1", _object_name(document), str(error))]), skip_bad, bad)
    if not isinstance(document, list):
        raise CatalogError(BadEntry("", None, f"expected an OMM object or a list of them, found "
                                                  f"{json_type(document)}"))
    return _collect(_omm_entries(document), skip_bad, bad)


# ---- records ---------------------------------------------------------------------------

class Window(NamedTuple):
    """One window a search found: the satellite (its name, catalogue number and position
    in the input), the site or area (its position in the list given; None for eclipses),
    and the window's start and end."""
    satellite: str
    norad_id: int
    position: int
    site: Optional[int]
    start: dt.datetime
    end: dt.datetime


class Failure(NamedTuple):
    """A search that failed: the satellite, the site or area, the exception's type
    name and message. What the search found before it failed is kept."""
    satellite: str
    norad_id: int
    position: int
    site: Optional[int]
    error: str
    message: str


Record = Union[Window, Failure]


def is_search_error(error: BaseException) -> bool:
    """Whether a search's exception is about the satellite or its knobs (a decayed orbit,
    a window over its cap, an internal fault of the library), rather than an interrupt."""
    # The library's internal-fault exception derives from BaseException, not Exception.
    return isinstance(error, (RuntimeError, ValueError, OverflowError)) or type(error).__name__ == "PanicException"


Found = TypeVar("Found")


def kept_until_failure(search: Callable[[], Iterable[Found]], failure: Callable[[BaseException], Result],
                       record: Callable[[Found], Result]) -> list[Result]:
    """The records of what `search()` finds and, when it fails, the record `failure`
    makes of its error after them; an interrupt is raised on."""
    records: list[Result] = []
    try:
        for item in search():
            records.append(record(item))
    except BaseException as error:
        if not is_search_error(error):
            raise
        records.append(failure(error))
    return records


def satellite_name(elements: orbweave.Elements) -> str:
    return (elements.object_name or "").strip() or f"NORAD {elements.norad_id}"


# ---- running searches on an executor ---------------------------------------------------

def _predictor(satellite: Satellite) -> orbweave.Predictor:
    if isinstance(satellite, orbweave.Predictor):
        return satellite
    if isinstance(satellite, orbweave.Tle):
        return orbweave.Predictor.from_tle(satellite)
    if isinstance(satellite, orbweave.Elements):
        return orbweave.Predictor(satellite)
    raise TypeError(f"expected a Predictor, Elements or Tle, got {type(satellite).__name__}")


def _elements(satellite: Satellite) -> Optional[orbweave.Elements]:
    """The element set of a satellite, for its name; None when it has none."""
    if isinstance(satellite, orbweave.Predictor):
        # A predictor shows its elements only in what it pickles as:
        # (rebuild, (elements, refinement)).
        _, (elements, _) = cast(tuple[Any, tuple[orbweave.Elements, Any]], satellite.__reduce__())
        return elements
    if isinstance(satellite, orbweave.Tle):
        try:
            return satellite.to_elements()
        except ValueError:
            return None
    return satellite if isinstance(satellite, orbweave.Elements) else None


@dataclasses.dataclass(frozen=True)
class _Search:
    """One kind of search over a chunk of satellites: which, against which sites or
    areas (None: none), over which interval, with which arguments. Plain data, so that
    it travels to any worker."""
    kind: str
    targets: Optional[Sequence[Any]]
    interval: orbweave.Interval
    arguments: tuple[Any, ...]
    knobs: dict[str, Any]

    def windows(self, predictor: orbweave.Predictor, target: Any) -> Iterator[Any]:
        if self.kind == "passes":
            return predictor.transits_iter(target, self.interval, *self.arguments, **self.knobs)
        if self.kind == "eclipses":
            return (w for w in predictor.illumination_iter(self.interval, **self.knobs)
                    if w.state == orbweave.IlluminationState.Eclipse)
        return predictor.aoi_iter(target, self.interval, *self.arguments, **self.knobs)

    def __call__(self, index: int, satellite: Satellite) -> list[Record]:
        elements = _elements(satellite)
        name = satellite_name(elements) if elements else f"satellite {index}"
        norad_id = elements.norad_id if elements else 0

        def failed(site: Optional[int]) -> Callable[[BaseException], Record]:
            return lambda error: Failure(name, norad_id, index, site, type(error).__name__, str(error))

        (built,) = kept_until_failure(lambda: [_predictor(satellite)], failed(None), lambda predictor: predictor)
        if not isinstance(built, orbweave.Predictor):
            return [built]  # its failure
        predictor: orbweave.Predictor = built
        records: list[Record] = []
        targets: Sequence[Any] = [None] if self.targets is None else self.targets
        for number, target in enumerate(targets):  # each search runs at once, inside its turn of the loop
            site = None if self.targets is None else number
            records += kept_until_failure(lambda: self.windows(predictor, target), failed(site),
                                          lambda w: Window(name, norad_id, index, site, w.start, w.end))
        return records


Task = Callable[[int, Any], Sequence[Result]]


def _run_chunk(task: Task[Result], first: int, chunk: Sequence[Any]) -> _Packed[Result]:
    results: list[Result] = []
    for offset, satellite in enumerate(chunk):
        results += task(first + offset, satellite)
    return _Packed(results)


_UNIX_EPOCH = dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc)
_MICROSECOND = dt.timedelta(microseconds=1)


def _unpacked(windows: tuple[Any, ...], micros: bytes, others: dict[int, Any]) -> _Packed[Any]:
    times = iter(_UNIX_EPOCH + _MICROSECOND * value for value in array.array("q", micros))
    fields = iter(windows)
    make = tuple.__new__
    records: list[Any] = []
    for position in range(len(windows) // 4 + len(others)):
        if position in others:
            records.append(others[position])
        else:
            records.append(make(Window, (next(fields), next(fields), next(fields), next(fields),
                                         next(times), next(times))))
    return _Packed(records)


class _Packed(Generic[Result]):
    """A chunk's results as they travel between processes: the windows' fields in one
    tuple and their times as whole microseconds since 1970 (what a `datetime` holds) in
    one array, which pickles several times faster than the records themselves."""

    def __init__(self, records: list[Result]) -> None:
        self.records = records

    def __reduce__(self) -> tuple[Any, ...]:
        windows: list[Any] = []
        micros = array.array("q")
        others: dict[int, Any] = {}
        for position, record in enumerate(cast(list[Any], self.records)):
            if isinstance(record, Window):
                windows += (record.satellite, record.norad_id, record.position, record.site)
                micros.append((record.start - _UNIX_EPOCH) // _MICROSECOND)
                micros.append((record.end - _UNIX_EPOCH) // _MICROSECOND)
            else:
                others[position] = record
        return _unpacked, (tuple(windows), micros.tobytes(), others)


class SerialExecutor(futures.Executor):
    """Runs each task at once, in the calling process: for runs too small to pay for
    worker processes, and for debugging."""

    def submit(self, fn: Callable[..., Result], /, *args: Any, **kwargs: Any) -> futures.Future[Result]:
        future: futures.Future[Result] = futures.Future()
        try:
            future.set_result(fn(*args, **kwargs))
        except Exception as error:
            future.set_exception(error)
        return future


def _default_chunksize(count: int) -> int:
    # About four chunks per core keeps the workers evenly busy; a few hundred
    # satellites per chunk keep the cost of sending them small.
    return max(1, min(500, math.ceil(count / (4 * (os.cpu_count() or 1)))))


def run_iter(task: Task[Result], satellites: Sequence[Any], *, executor: Optional[futures.Executor] = None,
             chunksize: Optional[int] = None, progress: Optional[Progress] = None) -> Iterator[Result]:
    """Runs `task(index, satellite)` for every satellite, in chunks on the executor, and
    yields the results in the satellites' order, each chunk as soon as it and every
    chunk before it are done. `task` must pickle for an executor of other processes (a
    module-level function or an instance of a module-level class).

    Without an `executor`, a local process pool with one worker per core runs it;
    `progress(done, total)` is called as chunks finish, with the number of satellites
    done. The searches below are tasks run through this."""
    satellites = list(satellites)
    size = _default_chunksize(len(satellites)) if chunksize is None else chunksize
    if size < 1:
        raise ValueError(f"chunksize must be at least 1, got {size}")
    if executor is not None:
        yield from _in_order(task, satellites, executor, size, progress)
        return
    with process_pool() as pool:
        yield from _in_order(task, satellites, pool, size, progress)


def process_pool(workers: Optional[int] = None,
                 initializer: Optional[Callable[[], None]] = None) -> futures.ProcessPoolExecutor:
    """A local pool of `workers` processes (default: one per core). Where the platform
    has it, workers start from a fork server, a clean process, rather than as forks of
    this one, which is unsafe once this process runs threads (a progress bar, a Dask
    client)."""
    methods = multiprocessing.get_all_start_methods()
    context = multiprocessing.get_context("forkserver" if "forkserver" in methods else None)
    return futures.ProcessPoolExecutor(workers or os.cpu_count(), mp_context=context, initializer=initializer)


def _in_order(task: Task[Result], satellites: list[Any], executor: futures.Executor, size: int,
              progress: Optional[Progress]) -> Iterator[Result]:
    starts = range(0, len(satellites), size)
    pending = {executor.submit(_run_chunk, task, first, satellites[first:first + size]): number
               for number, first in enumerate(starts)}
    finished: dict[int, list[Result]] = {}
    following, done = 0, 0
    try:
        for future in futures.as_completed(pending):
            number = pending[future]
            finished[number] = future.result().records
            done += min(size, len(satellites) - starts[number])
            if progress is not None:
                progress(done, len(satellites))
            while following in finished:
                yield from finished.pop(following)
                following += 1
    finally:
        for future in pending:
            future.cancel()


def _interval(interval: orbweave.IntervalRange) -> orbweave.Interval:
    return orbweave.Interval(interval.start, interval.end)


def passes(satellites: Sequence[Satellite], sites: Sequence[orbweave.GeodeticPoint],
           interval: orbweave.IntervalRange, min_elevation_deg: float, *,
           executor: Optional[futures.Executor] = None, chunksize: Optional[int] = None,
           progress: Optional[Progress] = None, **knobs: Any) -> list[Record]:
    """The passes of every satellite over every site above `min_elevation_deg`.

    `knobs` are the keyword arguments of `Predictor.transits_iter`. Without an
    `executor` the work runs on a local process pool with one worker per core;
    `progress(done, total)` is called with the number of satellites finished."""
    search = _Search("passes", list(sites), _interval(interval), (float(min_elevation_deg),), knobs)
    return list(run_iter(search, satellites, executor=executor, chunksize=chunksize, progress=progress))


def eclipses(satellites: Sequence[Satellite], interval: orbweave.IntervalRange, *,
             executor: Optional[futures.Executor] = None, chunksize: Optional[int] = None,
             progress: Optional[Progress] = None, **knobs: Any) -> list[Record]:
    """The eclipse windows of every satellite (records without a site).

    `knobs` are the keyword arguments of `Predictor.illumination_iter`."""
    search = _Search("eclipses", None, _interval(interval), (), knobs)
    return list(run_iter(search, satellites, executor=executor, chunksize=chunksize, progress=progress))


def area_windows(satellites: Sequence[Satellite], areas: Sequence[orbweave.Area],
                 interval: orbweave.IntervalRange, *, executor: Optional[futures.Executor] = None,
                 chunksize: Optional[int] = None, progress: Optional[Progress] = None,
                 **knobs: Any) -> list[Record]:
    """The windows in which each area is within reach of each satellite; `site` is
    the area's position in `areas`.

    `knobs` are the keyword arguments of `Predictor.aoi_iter` (`max_off_nadir_deg`,
    `coverage`, ...)."""
    search = _Search("areas", list(areas), _interval(interval), (), knobs)
    return list(run_iter(search, satellites, executor=executor, chunksize=chunksize, progress=progress))
