"""Apogees and perigees, and the peak elevation over an observer."""
import datetime as dt
import math
import re

import pytest

from orbweave import Apsis, ApsisEvent, ApsisIter, GeodeticPoint, Interval, Observation

from conftest import ISS_EPOCH, ISS_FIELDS, iss_predictor

T0 = ISS_EPOCH
PREDICTOR = iss_predictor()
OBSERVER = GeodeticPoint(40.0, -75.0, 50.0)
PERIOD = dt.timedelta(days=1) / ISS_FIELDS["mean_motion"]
HALF_DAY = Interval(T0, T0 + dt.timedelta(hours=12))


class TestApsides:
    apsides = list(PREDICTOR.apsis_iter(HALF_DAY))

    def test_alternate_half_a_period_apart(self):
        assert len(self.apsides) >= 14
        for a, b in zip(self.apsides, self.apsides[1:]):
            assert a.event != b.event
            assert abs((b.time - a.time) - PERIOD / 2) < dt.timedelta(minutes=6)
        perigees = [a.altitude for a in self.apsides if a.event == ApsisEvent.Perigee]
        apogees = [a.altitude for a in self.apsides if a.event == ApsisEvent.Apogee]
        assert max(perigees) < min(apogees)

    def test_each_is_a_zero_of_the_radial_velocity(self):
        for apsis in self.apsides:
            state = PREDICTOR.propagate(apsis.time)
            r = (state.position.x, state.position.y, state.position.z)
            v = (state.velocity.x, state.velocity.y, state.velocity.z)
            cosine = sum(p * q for p, q in zip(r, v)) / (math.hypot(*r) * math.hypot(*v))
            assert abs(cosine) < 1e-5
            assert apsis.altitude == pytest.approx(math.hypot(*r) - 6378137.0, abs=0.01)
            before = PREDICTOR.propagate(apsis.time - dt.timedelta(minutes=5)).position
            radius_before = math.hypot(before.x, before.y, before.z)
            assert (radius_before > math.hypot(*r)) == (apsis.event == ApsisEvent.Perigee)

    def test_values_and_enum(self):
        apsis = self.apsides[0]
        kind = "Perigee" if apsis.event == ApsisEvent.Perigee else "Apogee"
        assert re.fullmatch(rf"Apsis\(event={kind}, time=2020-07-12 \d\d:\d\d:\d\d(\.\d{{3,9}})? UTC, "
                            rf"altitude={apsis.altitude:.0f}m\)", repr(apsis)), repr(apsis)
        assert apsis == self.apsides[0] and apsis != self.apsides[1]
        with pytest.raises(TypeError):
            hash(apsis)
        with pytest.raises(TypeError):
            Apsis()
        assert [repr(ApsisEvent.Apogee), repr(ApsisEvent.Perigee)] == ["ApsisEvent.Apogee", "ApsisEvent.Perigee"]
        assert (int(ApsisEvent.Apogee), int(ApsisEvent.Perigee)) == (0, 1)
        assert ApsisEvent.Perigee == 1 and len({ApsisEvent.Apogee, ApsisEvent.Perigee}) == 2

    def test_step_knob(self):
        assert list(PREDICTOR.apsis_iter(HALF_DAY, step=None)) == self.apsides
        iterator = PREDICTOR.apsis_iter(HALF_DAY, step=dt.timedelta(seconds=0))
        assert type(iterator) is ApsisIter
        first = next(iterator)
        assert first.event == self.apsides[0].event
        assert abs(first.time - self.apsides[0].time) < dt.timedelta(milliseconds=2)
        coarse = list(PREDICTOR.apsis_iter(HALF_DAY, step=PERIOD * 0.75))
        assert len(coarse) < len(self.apsides)
        with pytest.raises(TypeError):
            PREDICTOR.apsis_iter(HALF_DAY, dt.timedelta(seconds=60))


class TestMaxElevation:
    transit = next(PREDICTOR.transits_iter(OBSERVER, Interval(T0, T0 + dt.timedelta(days=1)), 10.0))

    def test_culmination_of_a_whole_pass(self):
        t, observation = PREDICTOR.max_elevation(OBSERVER, self.transit)
        assert type(observation) is Observation and t.tzinfo is dt.timezone.utc
        brute = max(PREDICTOR.observation_iter(OBSERVER, self.transit, dt.timedelta(seconds=1)),
                    key=lambda item: item[1].elevation_deg)
        assert observation.elevation_deg >= brute[1].elevation_deg - 1e-9
        assert abs(t - brute[0]) < dt.timedelta(seconds=1)
        assert observation.elevation_deg == pytest.approx(PREDICTOR.observe_at(t, OBSERVER).elevation_deg, abs=1e-6)

    def test_only_rising_returns_the_higher_end(self):
        rising = Interval(self.transit.start, self.transit.start + dt.timedelta(seconds=60))
        t, observation = PREDICTOR.max_elevation(OBSERVER, rising, scan_step=None)
        assert t == rising.end
        assert observation == PREDICTOR.observe_at(rising.end, OBSERVER)

    def test_wrong_observer(self):
        with pytest.raises(TypeError) as info:
            PREDICTOR.max_elevation((40.0, -75.0), self.transit)
        assert str(info.value) == "'tuple' object is not an instance of 'GeodeticPoint'"
