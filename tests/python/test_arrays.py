"""orbweave.arrays: every sample equals Predictor.propagate's, bit for bit under the
scalar kernel and within a micrometre (per second) with the same error codes under
the processor's vector kernel. Every test runs under both."""
import datetime as dt
import math
import os
import subprocess
import sys

import pytest

np = pytest.importorskip("numpy")

from hypothesis import given, settings, strategies as st  # noqa: E402

from conftest import ISS_FIELDS, ISS_TLE, HAS_NOTES, notes, utc  # noqa: E402
from orbweave import Elements, Predictor, Tle, _arrays, arrays  # noqa: E402

ISS = Predictor.from_tle(Tle(*ISS_TLE))  # epoch with sub-microsecond digits
MOLNIYA = Predictor(Elements(
    norad_id=8195, epoch=utc(2006, 6, 25, 7, 58, 18), mean_motion=2.00491383, eccentricity=0.6877146,
    inclination=64.1586, right_ascension=279.0717, argument_of_perigee=264.7651, mean_anomaly=20.2257,
    mean_motion_dot=0.00000099, drag_term=0.00011873))
DECAYING = Predictor(Elements(**{**ISS_FIELDS, "drag_term": 0.5, "mean_motion_dot": 0.01}))
OVERFLOWING = Predictor(Elements(**{**ISS_FIELDS, "drag_term": 1e308}))
NAT = np.datetime64("NaT", "ns")
CODES = {"(before adding third-body perturbations)": 1, "(after adding third-body perturbations)": 3,
         "semi-latus rectum": 4, "is not finite": 7}


NATIVE_KERNEL = _arrays.kernel()
KERNELS = ["scalar"] + ([NATIVE_KERNEL] if NATIVE_KERNEL != "scalar" else [])
TOLERANCE = 1e-6  # metres, metres per second


@pytest.fixture(scope="module", autouse=True, params=KERNELS)
def kernel(request):
    _arrays.use_kernel(request.param)
    yield request.param
    _arrays.use_kernel(NATIVE_KERNEL)


def expected(predictor, t):
    """(position, velocity, error code) as Predictor.propagate gives them."""
    try:
        s = predictor.propagate(t)
    except RuntimeError as error:
        code = [c for text, c in CODES.items() if text in str(error)]
        return [math.nan] * 3, [math.nan] * 3, code[0]
    return [s.position.x, s.position.y, s.position.z], [s.velocity.x, s.velocity.y, s.velocity.z], 0


def assert_states(states, predictors, times):
    rows = [expected(p, t) for p, t in zip(predictors, times)]
    n = len(rows)
    assert states.positions.shape == (n, 3) and states.velocities.shape == (n, 3) and states.errors.shape == (n,)
    assert states.positions.dtype == np.float64 and states.errors.dtype == np.int32
    assert states.errors.tolist() == [code for _, _, code in rows]
    for got, column in ((states.positions, 0), (states.velocities, 1)):
        want = np.array([row[column] for row in rows], dtype=np.float64).reshape(n, 3)
        assert np.array_equal(np.isnan(got), np.isnan(want))
        if _arrays.kernel() == "scalar":
            # Bit for bit: exact equality, NaN where the sample failed, and the same signs of zero.
            assert np.array_equal(got, want, equal_nan=True) and (np.signbit(got) == np.signbit(want)).all()
        else:
            assert (np.abs(got - want)[~np.isnan(want)] <= TOLERANCE).all()


def datetimes64(times, unit="us"):
    return np.array([t.replace(tzinfo=None) for t in times], dtype=f"datetime64[{unit}]")


OFFSETS = [dt.timedelta(0), dt.timedelta(microseconds=999), dt.timedelta(microseconds=-999),
           dt.timedelta(microseconds=-1500), dt.timedelta(minutes=90, microseconds=1), dt.timedelta(days=-3),
           dt.timedelta(days=2, seconds=17), dt.timedelta(days=30), dt.timedelta(days=60), dt.timedelta(days=400)]


@pytest.mark.parametrize("predictor", [ISS, MOLNIYA, DECAYING, OVERFLOWING], ids=["near", "deep", "decay", "nonfinite"])
def test_datetime64_samples_equal_propagate(predictor):
    times = [predictor.epoch + offset for offset in OFFSETS]
    states = arrays.propagate(predictor, datetimes64(times))
    assert_states(states, [predictor] * len(times), times)
    if predictor in (DECAYING, OVERFLOWING):
        assert set(states.errors.tolist()) - {0}, "the failing orbit never failed"


@settings(max_examples=50, deadline=None)
@given(st.lists(st.integers(-10**12, 10**12), max_size=20))
def test_any_microsecond_offsets_equal_propagate(microseconds):
    times = [ISS.epoch + dt.timedelta(microseconds=us) for us in microseconds]
    assert_states(arrays.propagate(ISS, datetimes64(times)), [ISS] * len(times), times)


@pytest.mark.parametrize("dtype", ["datetime64[ns]", "datetime64[s]", "datetime64[m]", "datetime64[D]",
                                   "datetime64[M]", "datetime64[Y]", "datetime64[10ms]", ">M8[us]"])
def test_every_unit_reads_the_same_instants(dtype):
    times = [utc(2020, 1, 1), utc(2021, 1, 1), utc(1999, 1, 1)]
    got = arrays.propagate(ISS, datetimes64(times).astype(dtype))
    assert_states(got, [ISS] * 3, times)


@pytest.mark.parametrize("dtype", ["datetime64[ps]", "datetime64[as]"])
def test_times_finer_than_a_nanosecond_truncate_toward_the_epoch(dtype):
    # Only ticks finer than a nanosecond reach these times: 1 tick past (epoch - 1 ms)
    # still truncates to the epoch's own millisecond, and 1 tick before it does not.
    near_1970 = Predictor(Elements(**{**ISS_FIELDS, "epoch": utc(1970, 1, 1, 0, 0, 5)}))
    epoch = np.datetime64("1970-01-01T00:00:05", "ms").astype(dtype)
    ms = np.timedelta64(1, "ms").astype(dtype.replace("datetime", "timedelta"))
    tick = np.timedelta64(1, dtype[11:-1])
    states = arrays.propagate(near_1970, np.array([epoch - ms + tick, epoch - ms - tick]))
    at = [near_1970.epoch, near_1970.epoch - dt.timedelta(milliseconds=1)]
    assert_states(states, [near_1970] * 2, at)


@pytest.mark.parametrize("seconds", [[0.0, 0.0015, -0.0015, 60.25, -86400.0, 1e6], [0, 7, -7]])
def test_float_seconds_since_the_epoch(seconds):
    epoch = ISS_FIELDS["epoch"]
    predictor = Predictor(Elements(**ISS_FIELDS))
    times = [epoch + dt.timedelta(seconds=s) for s in seconds]
    assert_states(arrays.propagate(predictor, np.array(seconds)), [predictor] * len(times), times)


@pytest.mark.parametrize("times", [
    np.array([NAT, np.datetime64("2020-07-12T02:00")]),
    np.array([math.nan, math.inf, -math.inf, 1e12]),  # 1e12 s lies beyond 2^63 ns
    np.array(["-300000"], dtype="datetime64[Y]"),
    np.array([2**62], dtype="datetime64[W]"),
])
def test_unusable_times_are_error_code_8(times):
    states = arrays.propagate(ISS, times)
    assert 8 in states.errors.tolist()
    assert np.isnan(states.positions[states.errors == 8]).all()
    assert np.isnan(states.velocities[states.errors == 8]).all()


def test_propagate_many_equals_propagate():
    t = utc(2020, 9, 1, 12, 0, 0, 123456)
    predictors = [ISS, MOLNIYA, DECAYING, OVERFLOWING]
    assert_states(arrays.propagate_many(predictors, t), predictors, [t] * 4)
    assert_states(arrays.propagate_many(iter(predictors), np.datetime64("2020-09-01T12:00:00.123456789")),
                  predictors, [t] * 4)
    assert arrays.propagate_many(predictors, NAT).errors.tolist() == [8] * 4


@pytest.mark.parametrize("call", [
    lambda: arrays.propagate(ISS, np.array([], dtype="datetime64[ns]")),
    lambda: arrays.propagate(ISS, []),
    lambda: arrays.propagate_many([], utc(2020, 1, 1)),
])
def test_empty_inputs_give_empty_results(call):
    states = call()
    assert states.positions.shape == (0, 3) and states.velocities.shape == (0, 3) and states.errors.shape == (0,)


@pytest.mark.parametrize("call, error, message", [
    (lambda: arrays.propagate(ISS, np.zeros((2, 3))), ValueError, "1-D"),
    (lambda: arrays.propagate(ISS, 5.0), ValueError, "1-D"),
    (lambda: arrays.propagate(ISS, ["2020-01-01"]), TypeError, "datetime64 or float"),
    (lambda: arrays.propagate(ISS, [True]), TypeError, "datetime64 or float"),
    (lambda: arrays.propagate(ISS, [utc(2020, 1, 1)]), TypeError, "datetime64 or float"),
    (lambda: arrays.propagate(ISS, np.array([1], dtype="datetime64[20000W]")), ValueError, "too long"),
    (lambda: arrays.propagate("ISS", [0.0]), TypeError, "not an instance of 'Predictor'"),
    (lambda: arrays.propagate_many([ISS, 3], utc(2020, 1, 1)), TypeError, "not an instance of 'Predictor'"),
    (lambda: arrays.propagate_many([ISS], dt.datetime(2020, 1, 1)), TypeError, "tzinfo"),
    (lambda: arrays.propagate_many([ISS], 0.0), TypeError, "datetime"),
    (lambda: arrays.propagate_many([ISS], np.array([NAT])), TypeError, "datetime64"),
])
def test_bad_inputs(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_wrong_item_is_named():
    with pytest.raises(TypeError) as info:
        arrays.propagate_many([ISS, 3], utc(2020, 1, 1))
    if HAS_NOTES:
        assert notes(info.value) == ["while processing 'predictors[1]'"]


def out(n):
    return bytearray(52 * n)


@pytest.mark.parametrize("call, error", [
    (lambda: _arrays.propagate_seconds(ISS, bytes(8), bytearray(51)), ValueError),
    (lambda: _arrays.propagate_seconds(ISS, bytes(8), bytearray(53)), ValueError),
    (lambda: _arrays.propagate_seconds(ISS, bytes(8), bytes(52)), TypeError),
    (lambda: _arrays.propagate_seconds(ISS, bytes(7), out(1)), ValueError),
    (lambda: _arrays.propagate_seconds(ISS, bytearray(8), out(1)), TypeError),
    (lambda: _arrays.propagate_ticks(ISS, bytes(8), 0, 1, out(1)), ValueError),
    (lambda: _arrays.propagate_ticks(ISS, bytes(8), 1, -5, out(1)), ValueError),
    (lambda: _arrays.propagate_ticks(ISS, bytes(8), 2**64, 1, out(1)), OverflowError),
    (lambda: _arrays.propagate_many([ISS], utc(2020, 1, 1), out(1)), TypeError),
    (lambda: _arrays.propagate_many((ISS,), utc(2020, 1, 1), out(2)), ValueError),
    (lambda: _arrays.propagate_many_ticks((ISS,), 0, 1, 0, out(1)), ValueError),
    (lambda: _arrays.propagate_ticks(ISS, bytes(8), 1, 1), TypeError),
])
def test_buffers_are_checked_before_use(call, error):
    with pytest.raises(error):
        call()


@pytest.mark.skipif(NATIVE_KERNEL == "scalar", reason="no vector kernel on this processor")
def test_vector_kernel_is_the_one_used():
    times = np.datetime64("2020-07-12T02:00") + np.arange(1000) * np.timedelta64(1, "s")
    _arrays.use_kernel(NATIVE_KERNEL)
    batched = arrays.propagate(ISS, times)
    _arrays.use_kernel("scalar")
    scalar = arrays.propagate(ISS, times)
    _arrays.use_kernel(NATIVE_KERNEL)
    # Rounding sets the two apart in the last bits of some samples.
    assert not np.array_equal(batched.positions, scalar.positions)


@pytest.mark.skipif("ORBWEAVE_BATCH" in os.environ, reason="the suite itself runs under ORBWEAVE_BATCH")
@pytest.mark.parametrize("setting, chosen", [("scalar", "scalar"), ("avx9", NATIVE_KERNEL), ("", NATIVE_KERNEL)])
def test_environment_variable_chooses_the_kernel_at_import(setting, chosen):
    code = "from orbweave import _arrays; print(_arrays.kernel())"
    env = {**os.environ, "ORBWEAVE_BATCH": setting}
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    assert out.stdout.strip() == chosen


@pytest.mark.parametrize("name, message", [("avx9", "no kernel named 'avx9'"), ("", "no kernel named")])
def test_unknown_kernel_names_are_refused(name, message):
    with pytest.raises(ValueError, match=message):
        _arrays.use_kernel(name)
    assert _arrays.kernel() in KERNELS


def test_missing_numpy_names_the_extra(monkeypatch):
    monkeypatch.setitem(__import__("sys").modules, "numpy", None)
    with pytest.raises(ImportError, match=r"pip install 'orbweave\[arrays\]'"):
        arrays.propagate(ISS, [0.0])
