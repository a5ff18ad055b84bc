"""Propagation of many (satellite, time) lanes into a bytearray; used by orbweave.arrays."""

from orbweave._orbweave import Predictor
import datetime

def propagate_ticks(predictor: Predictor, ticks: bytes, numerator: int, denominator: int, out: bytearray, /) -> None:
    """Propagate one predictor to int64 times in ticks of numerator/denominator ns since 1970."""

def propagate_seconds(predictor: Predictor, seconds: bytes, out: bytearray, /) -> None:
    """Propagate one predictor to float64 seconds since its epoch."""

def propagate_many(predictors: tuple[Predictor, ...], time: datetime.datetime, out: bytearray, /) -> None:
    """Propagate a tuple of predictors to one aware UTC datetime."""

def propagate_many_ticks(predictors: tuple[Predictor, ...], ticks: int, numerator: int, denominator: int,
                         out: bytearray, /) -> None:
    """Propagate a tuple of predictors to one time in ticks of numerator/denominator ns since 1970."""

def kernel() -> str:
    """The propagation kernel in use: 'avx512', 'avx2' or 'scalar'."""

def use_kernel(name: str, /) -> None:
    """Make the named kernel ('avx512', 'avx2' or 'scalar') the one in use."""
