"""Refinement settings and Predictor.with_refinement."""
import datetime as dt
import math
import sys

import pytest

from orbweave import Predictor, Refinement

from conftest import ISS_EPOCH, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()


def test_defaults_and_none():
    for r in (Refinement(), Refinement(time_tolerance=None, max_iter=None)):
        assert (r.time_tolerance, r.max_iter) == (0.001, 100)
    r = Refinement(time_tolerance=0, max_iter=2 ** 64 - 1)
    assert (r.time_tolerance, r.max_iter) == (0.0, 2 ** 64 - 1)
    assert Refinement(time_tolerance=-5).time_tolerance == -5.0


def test_settings_are_writable():
    r = Refinement()
    r.time_tolerance, r.max_iter = 0.5, 10
    assert r == Refinement(time_tolerance=0.5, max_iter=10)
    with pytest.raises(OverflowError):
        r.max_iter = -1
    with pytest.raises(TypeError):
        r.time_tolerance = "fast"
    with pytest.raises(TypeError):
        del r.max_iter
    assert (r.time_tolerance, r.max_iter) == (0.5, 10)


def test_equality_without_hash_or_order():
    assert Refinement() == Refinement()
    assert Refinement() != Refinement(max_iter=99)
    nan = Refinement(time_tolerance=math.nan)
    assert nan != nan
    assert Refinement() != (0.001, 100)
    with pytest.raises(TypeError):
        Refinement() < Refinement()  # noqa: B015
    with pytest.raises(TypeError):
        hash(Refinement())


@pytest.mark.parametrize("kwargs, error, argument", [
    ({"max_iter": -1}, OverflowError, "max_iter"),
    ({"max_iter": 1.5}, TypeError, "max_iter"),
    ({"time_tolerance": "1"}, TypeError, "time_tolerance"),
])
def test_conversion_errors_name_the_argument(kwargs, error, argument):
    with pytest.raises(error) as info:
        Refinement(**kwargs)
    if sys.version_info >= (3, 11):
        assert info.value.__notes__ == [f"while processing '{argument}'"]


def test_keyword_only():
    with pytest.raises(TypeError, match=r"^Refinement\(\) takes 0 positional arguments but 1 was given$"):
        Refinement(0.1)
    assert Refinement.__text_signature__ == "(*, time_tolerance=None, max_iter=None)"


def test_with_refinement_makes_a_new_predictor():
    refined = PREDICTOR.with_refinement(Refinement(time_tolerance=0.5, max_iter=10))
    assert refined is not PREDICTOR and type(refined) is Predictor
    assert refined.epoch == PREDICTOR.epoch
    t = T0 + dt.timedelta(minutes=42)
    assert refined.propagate(t) == PREDICTOR.propagate(t)
    with pytest.raises(TypeError) as info:
        PREDICTOR.with_refinement((0.5, 10))
    assert str(info.value) == "'tuple' object is not an instance of 'Refinement'"
