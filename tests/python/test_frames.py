"""Frames, ground points, observations and pointing from Python."""
import datetime as dt
import math
import re
import sys

import pytest

from orbweave import GeodeticPoint, Interval, Observation, Pointing, StateVectorEcef, StateVectorEnu, StateVectorLvlh

from conftest import ISS_EPOCH, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()
TIMES = [T0 + dt.timedelta(minutes=m) for m in (0, 17, 45, 90)]


def xyz(v) -> tuple:
    return (v.x, v.y, v.z)


class TestGeodeticPoint:
    def test_stored_as_given(self):
        point = GeodeticPoint(95, 400, -1)
        assert (point.latitude_deg, point.longitude_deg, point.altitude) == (95.0, 400.0, -1.0)
        assert repr(point) == "GeodeticPoint(latitude_deg=95, longitude_deg=400, altitude=-1)"
        assert repr(GeodeticPoint(0.1, -2.5, 1e-7)) == "GeodeticPoint(latitude_deg=0.1, longitude_deg=-2.5, altitude=0.0000001)"
        assert GeodeticPoint(1, 2, 3) == GeodeticPoint(1.0, 2.0, 3.0) != GeodeticPoint(1, 2, 4)
        assert GeodeticPoint(1, 2, 3) != (1, 2, 3)
        with pytest.raises(TypeError):
            hash(point)
        assert GeodeticPoint.__text_signature__ == "(latitude_deg, longitude_deg, altitude)"

    def test_bad_argument_is_named(self):
        with pytest.raises(TypeError) as info:
            GeodeticPoint(1, 2, "3")
        if sys.version_info >= (3, 11):
            assert info.value.__notes__ == ["while processing 'altitude'"]


class TestStateVectorFrames:
    @pytest.mark.parametrize("t", TIMES)
    def test_teme_ecef_round_trip(self, t):
        teme = PREDICTOR.propagate(t)
        ecef = teme.to_ecef(t)
        assert type(ecef) is StateVectorEcef
        back = ecef.to_teme(t)
        assert math.dist(xyz(back.position), xyz(teme.position)) < 1e-6
        assert math.dist(xyz(back.velocity), xyz(teme.velocity)) < 1e-9

    @pytest.mark.parametrize("t", TIMES)
    def test_sidereal_rotation_matches_the_reference_gmst(self, t):
        gstime = pytest.importorskip("sgp4.propagation").gstime
        teme = PREDICTOR.propagate(t).position
        ecef = PREDICTOR.propagate(t).to_ecef(t).position
        theta = math.atan2(teme.y, teme.x) - math.atan2(ecef.y, ecef.x)
        jd = t.timestamp() / 86400.0 + 2440587.5
        assert math.remainder(theta - gstime(jd), 2 * math.pi) == pytest.approx(0.0, abs=1e-10)

    def test_enu_and_lvlh_and_their_reductions(self):
        t = TIMES[1]
        own = PREDICTOR.sub_point(t)  # the satellite's own geodetic point, altitude included
        ecef = PREDICTOR.propagate(t).to_ecef(t)
        assert math.hypot(*xyz(ecef.to_enu(own).position)) < 1e-6
        ground = GeodeticPoint(own.latitude_deg, own.longitude_deg, 0.0)
        enu = ecef.to_enu(ground)
        assert type(enu) is StateVectorEnu
        assert enu.position.x == pytest.approx(0.0, abs=1e-6) and enu.position.y == pytest.approx(0.0, abs=1e-6)
        assert enu.position.z == pytest.approx(own.altitude, abs=1e-6)
        assert enu.to_observation() == PREDICTOR.observe_at(t, ground)
        teme = PREDICTOR.propagate(t)
        lvlh = teme.to_lvlh(teme)
        assert type(lvlh) is StateVectorLvlh
        assert xyz(lvlh.position) == (0.0, 0.0, 0.0) and xyz(lvlh.velocity) == (0.0, 0.0, 0.0)
        zero = lvlh.to_pointing()
        assert (xyz(zero.direction), zero.range, zero.range_rate, zero.off_nadir_deg) == ((0, 0, 0), 0, 0, 0.0)

    @pytest.mark.parametrize("call, expected, argument", [
        (lambda s: s.to_lvlh(s.to_ecef(T0)), "'StateVectorEcef' object is not an instance of 'StateVectorTeme'", "target"),
        (lambda s: s.to_ecef(T0).to_enu((1.0, 2.0)), "'tuple' object is not an instance of 'GeodeticPoint'", "observer"),
        (lambda s: s.to_ecef(dt.datetime(2020, 1, 1)), "expected a datetime with non-None tzinfo", "t"),
    ])
    def test_argument_errors(self, call, expected, argument):
        with pytest.raises(TypeError) as info:
            call(PREDICTOR.propagate(T0))
        assert str(info.value) == expected
        if sys.version_info >= (3, 11):
            assert info.value.__notes__ == [f"while processing '{argument}'"]

    @pytest.mark.parametrize("cls", [StateVectorEcef, StateVectorEnu, StateVectorLvlh, Observation, Pointing])
    def test_no_constructor(self, cls):
        with pytest.raises(TypeError):
            cls()


class TestObservations:
    def test_observer_altitude_shortens_the_zenith_range(self):
        below = PREDICTOR.sub_point(T0)
        ground = GeodeticPoint(below.latitude_deg, below.longitude_deg, 0.0)
        raised = GeodeticPoint(below.latitude_deg, below.longitude_deg, 1000.0)
        on_ground, from_above = PREDICTOR.observe_at(T0, ground), PREDICTOR.observe_at(T0, raised)
        assert on_ground.elevation_deg == pytest.approx(90.0, abs=1e-6)
        assert on_ground.range - from_above.range == pytest.approx(1000.0, abs=1e-6)
        assert on_ground.range == pytest.approx(below.altitude, abs=1e-6)

    def test_repr_and_equality(self):
        observation = PREDICTOR.observe_at(T0, GeodeticPoint(40.0, -50.0, 100.0))
        text = repr(observation)
        match = re.fullmatch(r"Observation\(az=(-?\d+\.\d\d)°, el=(-?\d+\.\d\d)°, range=(\d+)m, "
                             r"range_rate=(-?\d+\.\d)m/s\)", text)
        assert match, text
        assert float(match[1]) == round(observation.azimuth_deg, 2)
        assert float(match[2]) == round(observation.elevation_deg, 2)
        assert int(match[3]) == round(observation.range)
        assert -180 < observation.azimuth_deg <= 180
        assert observation == PREDICTOR.observe_at(T0, GeodeticPoint(40.0, -50.0, 100.0))
        assert observation != (observation.azimuth_deg, observation.elevation_deg)
        with pytest.raises(TypeError):
            hash(observation)

    def test_only_a_geodetic_point_is_an_observer(self):
        with pytest.raises(TypeError) as info:
            PREDICTOR.observe_at(T0, (40.0, -50.0))
        assert str(info.value) == "'tuple' object is not an instance of 'GeodeticPoint'"
        with pytest.raises(TypeError):
            PREDICTOR.point_at(T0, None)


class TestPointing:
    def test_target_below_the_satellite_is_near_nadir(self):
        below = PREDICTOR.sub_point(T0)
        pointing = PREDICTOR.point_at(T0, GeodeticPoint(below.latitude_deg, below.longitude_deg, 0.0))
        # Nadir is geocentric; at mid latitudes the geodetic sub-point lies a fraction of a degree off it.
        assert 0.0 < pointing.off_nadir_deg < 0.5
        assert math.hypot(*xyz(pointing.direction)) == pytest.approx(1.0)
        assert pointing.direction.z > 0.99
        assert pointing.range == pytest.approx(below.altitude, rel=1e-3)
        assert re.fullmatch(r"Pointing\(off_nadir=\d+\.\d\d°, range=\d+m, range_rate=-?\d+\.\dm/s\)", repr(pointing))

    def test_a_target_20_degrees_away_is_about_70_degrees_off_nadir(self):
        below = PREDICTOR.sub_point(T0)
        pointing = PREDICTOR.point_at(T0, GeodeticPoint(below.latitude_deg + 20.0, below.longitude_deg, 0.0))
        assert 65.0 < pointing.off_nadir_deg < 75.0


class TestIterators:
    interval = Interval(T0, T0 + dt.timedelta(minutes=3))
    step = dt.timedelta(minutes=1)

    def test_ground_track_items_equal_sub_point(self):
        items = list(PREDICTOR.ground_track_iter(self.interval, self.step))
        assert [t for t, _ in items] == [T0 + i * self.step for i in range(3)]
        for t, point in items:
            assert point == PREDICTOR.sub_point(t)

    def test_observation_items_equal_observe_at(self):
        observer = GeodeticPoint(40.0, -50.0, 100.0)
        items = list(PREDICTOR.observation_iter(observer, self.interval, self.step))
        assert len(items) == 3
        for t, observation in items:
            assert observation == PREDICTOR.observe_at(t, observer)

    def test_observation_iter_converts_the_observer_first(self):
        with pytest.raises(TypeError) as info:
            PREDICTOR.observation_iter((1.0, 2.0), None, None)
        assert str(info.value) == "'tuple' object is not an instance of 'GeodeticPoint'"
