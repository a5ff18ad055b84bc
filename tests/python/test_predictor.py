"""Predictor construction, propagation and the vector classes from Python."""
import datetime as dt
import math

import pytest

from orbweave import Elements, Predictor, StateVectorTeme, Tle, Vec3

from conftest import ISS_DRAG_TERM, ISS_FIELDS, ISS_NAME, ISS_TLE, ISS_TLE_EPOCH, utc

# The ISS as its element set has it: exact epoch, drag term and name.
EPOCH = ISS_TLE_EPOCH
ISS = {**ISS_FIELDS, "epoch": EPOCH, "drag_term": ISS_DRAG_TERM, "object_name": ISS_NAME}
# A 12-hour resonant Molniya orbit (deep space, half-day resonance).
MOLNIYA = dict(norad_id=8195, epoch=utc(2006, 6, 25, 7, 58, 18), mean_motion=2.00491383, eccentricity=0.6877146,
               inclination=64.1586, right_ascension=279.0717, argument_of_perigee=264.7651, mean_anomaly=20.2257,
               mean_motion_dot=0.00000099, drag_term=0.00011873)
_, LINE_1, LINE_2 = ISS_TLE
TLE = Tle(*ISS_TLE)


def state(predictor: Predictor, t: dt.datetime) -> tuple:
    s = predictor.propagate(t)
    return (s.position.x, s.position.y, s.position.z, s.velocity.x, s.velocity.y, s.velocity.z)


class TestConstruction:
    def test_from_tle_and_from_elements_agree(self):
        by_tle = Predictor.from_tle(TLE)
        by_elements = Predictor(TLE.to_elements())
        assert by_tle.epoch == by_elements.epoch == EPOCH
        assert state(by_tle, EPOCH) == state(by_elements, EPOCH)
        assert type(by_tle.from_tle(TLE)) is Predictor  # reachable through an instance

    def test_wrong_argument_types(self):
        with pytest.raises(TypeError) as info:
            Predictor(TLE)
        assert str(info.value) == "'Tle' object is not an instance of 'Elements'"
        assert getattr(info.value, "__notes__", ["while processing 'elements'"]) == ["while processing 'elements'"]
        with pytest.raises(TypeError) as info:
            Predictor.from_tle(LINE_1)
        assert str(info.value) == "'str' object is not an instance of 'Tle'"
        with pytest.raises(TypeError, match=r"^Predictor\(\) missing 1 required positional argument: 'elements'$"):
            Predictor()
        assert Predictor.__text_signature__ == "(elements)"

    def test_malformed_tle(self):
        bad = LINE_2[:68] + str((int(LINE_2[68]) + 1) % 10)
        with pytest.raises(ValueError) as info:
            Predictor.from_tle(Tle("ISS", LINE_1, bad))
        assert str(info.value) == ("TLE parse error: TLE parse error: Bad line checksum on TLE line 2 "
                                   "between characters 68 and 69")

    @pytest.mark.parametrize("change, message", [
        ({"mean_motion": 0.0}, "SGP4 elements error: The Kozai mean motion calculated from epoch elements is negative"),
        ({"mean_motion": -1.0}, "SGP4 elements error: The Kozai mean motion calculated from epoch elements is negative"),
        ({"eccentricity": 1.0}, "SGP4 elements error: The epoch eccentricity (1) is outside the range [0, 1["),
        ({"eccentricity": -0.0001},
         "SGP4 elements error: The epoch eccentricity (-0.0001) is outside the range [0, 1["),
    ])
    def test_elements_sgp4_cannot_initialise(self, change, message):
        with pytest.raises(ValueError) as info:
            Predictor(Elements(**{**ISS, **change}))
        assert str(info.value) == message

    @pytest.mark.parametrize("field, value", [("mean_motion", math.nan), ("mean_motion", math.inf),
                                              ("eccentricity", math.nan), ("inclination", math.nan)])
    def test_non_finite_orbit_shape_is_refused(self, field, value):
        with pytest.raises(ValueError, match="^SGP4 elements error: "):
            Predictor(Elements(**{**ISS, field: value}))

    @pytest.mark.parametrize("field", ["drag_term", "right_ascension", "argument_of_perigee", "mean_anomaly"])
    def test_non_finite_angles_or_drag_are_refused(self, field):
        with pytest.raises(ValueError) as info:
            Predictor(Elements(**{**ISS, field: math.nan}))
        assert str(info.value) == f"SGP4 elements error: The epoch {field.replace('_', ' ')} (NaN) is not finite"

    def test_overflowing_elements_never_give_a_state_that_is_not_finite(self):
        predictor = Predictor(Elements(**{**ISS, "drag_term": 1e308}))
        with pytest.raises(RuntimeError, match="^SGP4 propagation error: The propagated state is not finite 10 minutes"):
            state(predictor, EPOCH + dt.timedelta(minutes=10))

    def test_zero_eccentricity_is_accepted(self):
        Predictor(Elements(**{**ISS, "eccentricity": 0.0})).propagate(EPOCH)


class TestPropagation:
    predictor = Predictor(Elements(**ISS))

    def test_state_is_in_metres(self):
        s = self.predictor.propagate(EPOCH)
        radius = math.hypot(s.position.x, s.position.y, s.position.z)
        speed = math.hypot(s.velocity.x, s.velocity.y, s.velocity.z)
        assert 6_700_000 < radius < 6_800_000 and 7_600 < speed < 7_800

    def test_millisecond_truncation(self):
        at_epoch = state(self.predictor, EPOCH)
        assert state(self.predictor, EPOCH + dt.timedelta(microseconds=900)) == at_epoch
        assert state(self.predictor, EPOCH - dt.timedelta(microseconds=900)) == at_epoch
        assert state(self.predictor, EPOCH - dt.timedelta(microseconds=1500)) == \
            state(self.predictor, EPOCH - dt.timedelta(milliseconds=1))
        assert state(self.predictor, EPOCH + dt.timedelta(milliseconds=1)) != at_epoch

    def test_equal_states_compare_equal(self):
        assert self.predictor.propagate(EPOCH) == self.predictor.propagate(EPOCH)
        assert self.predictor.propagate(EPOCH) != self.predictor.propagate(EPOCH + dt.timedelta(seconds=1))
        with pytest.raises(TypeError):
            hash(self.predictor.propagate(EPOCH))
        with pytest.raises(TypeError):
            StateVectorTeme()

    def test_decayed_orbit_fails_only_for_that_call(self):
        decaying = Predictor(Elements(**{**ISS, "drag_term": 0.5, "mean_motion_dot": 0.01}))
        with pytest.raises(RuntimeError) as info:
            decaying.propagate(EPOCH + dt.timedelta(days=60))
        assert str(info.value).startswith("SGP4 propagation error: ")
        assert "minutes after epoch" in str(info.value)
        decaying.propagate(EPOCH)

    def test_resonant_orbit_does_not_depend_on_call_order(self):
        predictor = Predictor(Elements(**MOLNIYA))
        later, earlier = MOLNIYA["epoch"] + dt.timedelta(minutes=10000), MOLNIYA["epoch"] - dt.timedelta(minutes=5000)
        first = state(predictor, later)
        state(predictor, earlier)
        assert state(predictor, later) == first

    @pytest.mark.parametrize("now, age", [
        (EPOCH, 0.0),
        (EPOCH + dt.timedelta(microseconds=400), 0.0),
        (EPOCH - dt.timedelta(days=1), -86400.0),
        (EPOCH + dt.timedelta(hours=1, microseconds=1500), 3600.001),
    ])
    def test_tle_age_seconds(self, now, age):
        assert self.predictor.tle_age_seconds(now) == age

    def test_epoch_is_read_only(self):
        with pytest.raises(AttributeError):
            self.predictor.epoch = EPOCH
        assert self.predictor.epoch.tzinfo is dt.timezone.utc


class TestVec3:
    def test_values(self):
        v = Vec3(1, 2.5, -3)
        assert (v.x, v.y, v.z) == (1.0, 2.5, -3.0)
        assert repr(v) == "Vec3(x=1, y=2.5, z=-3)"
        assert repr(Vec3(1e-7, 2 ** 60, -0.1)) == "Vec3(x=0.0000001, y=1152921504606847000, z=-0.1)"
        assert Vec3(1, 2, 3) == Vec3(1.0, 2.0, 3.0) and Vec3(1, 2, 3) != Vec3(1, 2, 4)
        nan = Vec3(math.nan, 0, 0)
        assert nan != nan
        assert Vec3(1, 2, 3) != (1, 2, 3)
        with pytest.raises(TypeError):
            hash(v)
        assert Vec3.__text_signature__ == "(x, y, z)"

    def test_bad_component_names_the_argument(self):
        with pytest.raises(TypeError) as info:
            Vec3(1, "2", 3)
        assert getattr(info.value, "__notes__", ["while processing 'y'"]) == ["while processing 'y'"]
