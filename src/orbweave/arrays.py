"""States as NumPy arrays: many propagations in one call.

``propagate(predictor, times)`` propagates one satellite to a 1-D array of times;
``propagate_many(predictors, time)`` propagates many satellites to one time (the
snapshot of a catalogue). Both return ``States``: TEME positions ``(N, 3)`` in
metres, velocities ``(N, 3)`` in metres per second, and an error code per sample.
The C++ core fills the arrays in one call.

Near-earth samples (orbital periods under 225 minutes) are propagated several at a
time by a vector kernel for the widest instruction set the processor has (AVX-512,
else AVX2), chosen once at import. Each such sample agrees with what
``Predictor.propagate`` gives for the same instant to within a micrometre in every
position component and a micrometre per second in every velocity component (the
difference is rounding: about 0.02 micrometres at most as measured), and has the
same error code. Deep-space samples, samples near one of the propagator's error
conditions, and every sample on a processor without AVX2 equal
``Predictor.propagate`` bit for bit. Setting the environment variable
``ORBWEAVE_BATCH=scalar`` before the import makes every sample bit for bit
(``avx2`` caps the choice at AVX2).

Times are taken as the predictor takes them: whole milliseconds since the element
set's epoch, truncated toward zero, so every time inside one such millisecond gives
the same state. A ``datetime64`` array of any unit is read exactly (a time finer
than a nanosecond is first rounded to the nanosecond toward the epoch, which leaves
the whole milliseconds exact). Float (or integer) seconds since the element set's
epoch are rounded to the nearest nanosecond.

Error codes (``States.errors``, int32), numbered as the reference SGP4 code
numbers the same conditions:

* 0: no error.
* 1: the secular eccentricity left the range [-0.001, 1).
* 3: the eccentricity after the lunar-solar periodics left the range [0, 1].
* 4: a negative semi-latus rectum, or a mean motion that fell to zero or below
  (which the reference code reports as 2).
* 7: a position or velocity that is not finite (the reference has no such code).
* 8: no usable time: NaT, NaN, a time outside the range of instants, or seconds
  beyond +-2^63 nanoseconds of the epoch (no such code in the reference).

Codes 2, 5 and 6 are never given: the propagator checks no decay, and a state
below the Earth's surface is returned as ``Predictor.propagate`` returns it. A
sample with a non-zero code has NaN positions and velocities.

NumPy is optional for the rest of orbweave: ``pip install 'orbweave[arrays]'``.
"""

from __future__ import annotations

import datetime as _dt
import typing as _typing

from . import _arrays
from ._orbweave import Predictor

if _typing.TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

__all__ = ["States", "propagate", "propagate_many"]


class States(_typing.NamedTuple):
    """States of N samples: TEME positions and velocities, and per-sample error codes."""

    positions: npt.NDArray[np.float64]
    """(N, 3) metres; NaN where the sample failed."""
    velocities: npt.NDArray[np.float64]
    """(N, 3) metres per second; NaN where the sample failed."""
    errors: npt.NDArray[np.int32]
    """(N,) error codes, 0 for success (see the module's documentation)."""


_INT64_MAX = 2**63 - 1
_NANOS_PER_TICK = {"W": 604_800 * 10**9, "D": 86_400 * 10**9, "h": 3_600 * 10**9, "m": 60 * 10**9,
                   "s": 10**9, "ms": 10**6, "us": 10**3, "ns": 1, "generic": 1}
_TICKS_PER_NANO = {"ps": 10**3, "fs": 10**6, "as": 10**9}
# Calendar units are turned into days; counts beyond these lie outside the range of
# instants (about 262,000 years) and become NaT instead of overflowing the days.
_CALENDAR_LIMITS = {"Y": 300_000, "M": 300_000 * 12}


def _numpy() -> _typing.Any:
    try:
        import numpy
    except ImportError as error:
        raise ImportError("orbweave.arrays needs NumPy: pip install 'orbweave[arrays]'") from error
    return numpy


def _ticks(values: _typing.Any) -> tuple[_typing.Any, int, int]:
    """Int64 ticks since 1970 (NaT as int64's minimum) and the tick's length in
    nanoseconds as numerator and denominator, of a datetime64 array."""
    np = _numpy()
    values = values.astype(values.dtype.newbyteorder("="), copy=False)
    unit, count = np.datetime_data(values.dtype)
    if unit in _CALENDAR_LIMITS:
        limit = _CALENDAR_LIMITS[unit] // count
        raw = values.view(np.int64)
        far = (raw > limit) | (raw < -limit)
        values = np.where(far, np.datetime64("NaT", unit), values).astype("datetime64[D]")
        unit, count = "D", 1
    numerator = _NANOS_PER_TICK.get(unit, 1) * count
    if numerator > _INT64_MAX:
        raise ValueError(f"datetime64 unit {count}{unit} is too long")
    return values.view(np.int64), numerator, _TICKS_PER_NANO.get(unit, 1)


def _outputs(count: int) -> bytearray:
    """The buffer the core fills: positions, then velocities, then error codes."""
    return bytearray(52 * count)


def _states(buffer: bytearray) -> States:
    np = _numpy()
    count = len(buffer) // 52
    return States(np.frombuffer(buffer, dtype=np.float64, count=3 * count).reshape(-1, 3),
                  np.frombuffer(buffer, dtype=np.float64, count=3 * count, offset=24 * count).reshape(-1, 3),
                  np.frombuffer(buffer, dtype=np.int32, count=count, offset=48 * count))


def propagate(predictor: Predictor, times: npt.ArrayLike) -> States:
    """Propagate one satellite to every time of a 1-D array.

    ``times`` is a ``datetime64`` array of any unit (NaT gives error code 8) or
    float seconds since the element set's epoch (integers are taken as seconds)."""
    np = _numpy()
    values = np.asarray(times)
    if values.ndim != 1:
        raise ValueError(f"times must be a 1-D array, not {values.ndim}-D")
    buffer = _outputs(len(values))
    kind = values.dtype.kind
    if kind == "M":
        ticks, numerator, denominator = _ticks(values)
        _arrays.propagate_ticks(predictor, ticks.tobytes(), numerator, denominator, buffer)
    elif kind in "fiu":
        seconds = values.astype(np.float64)
        _arrays.propagate_seconds(predictor, seconds.tobytes(), buffer)
    else:
        raise TypeError(f"times must be datetime64 or float seconds since the epoch, not {values.dtype}")
    return _states(buffer)


def propagate_many(predictors: _typing.Iterable[Predictor],
                   time: _typing.Union[_dt.datetime, np.datetime64]) -> States:
    """Propagate every predictor to one time: an aware UTC datetime or a datetime64
    (NaT gives error code 8 for every sample). Sample i is predictor i."""
    np = _numpy()
    satellites = tuple(predictors)
    buffer = _outputs(len(satellites))
    if isinstance(time, _dt.datetime):
        _arrays.propagate_many(satellites, time, buffer)
        return _states(buffer)
    value = np.asarray(time)
    if value.dtype.kind != "M" or value.ndim != 0:
        raise TypeError(f"time must be an aware datetime or one datetime64, not {type(time).__name__}")
    ticks, numerator, denominator = _ticks(value.reshape(1))
    _arrays.propagate_many_ticks(satellites, int(ticks[0]), numerator, denominator, buffer)
    return _states(buffer)
