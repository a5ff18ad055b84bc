"""Values pickle and copy to equal values; a tampered payload is refused."""
import copy
import datetime as dt
import math
import pickle

import pytest
from conftest import ISS_FIELDS, ISS_TLE

from orbweave import (AoiWindow, ApsisEvent, Circle, Classification, Coverage, Elements, FillRule, GeodeticPoint,
                      IlluminationState, Interval, LatLon, Polygon, Predictor, Rectangle, Refinement, Tle, Vec3)

TLE = Tle(*ISS_TLE)
PREDICTOR = Predictor.from_tle(TLE).with_refinement(Refinement(time_tolerance=0.25, max_iter=20))
DAY = Interval(PREDICTOR.epoch, PREDICTOR.epoch + dt.timedelta(days=1))
OBSERVER = GeodeticPoint(40.0, -75.0, 50.0)
CIRCLE = Circle((45.0, 1.0), 5.0)
TRANSIT = next(PREDICTOR.transits_iter(OBSERVER, DAY, 10.0))
TEME = PREDICTOR.propagate(TRANSIT.mid_point)
ECEF = TEME.to_ecef(TRANSIT.mid_point)
ENU = ECEF.to_enu(OBSERVER)
PROTOCOLS = range(pickle.HIGHEST_PROTOCOL + 1)

# Values from the searches carry nanoseconds that a datetime cannot hold; the TLE's
# epoch carries one too (01:19:07.199616001).
SAMPLES = {
    "Tle": TLE,
    "Elements": TLE.to_elements(),
    "Elements by keyword": Elements(**ISS_FIELDS, classification=Classification.Secret),
    "Predictor": PREDICTOR,
    "Refinement": Refinement(time_tolerance=0.5, max_iter=7),
    "GeodeticPoint": OBSERVER,
    "LatLon": LatLon(-33.5, 151.25),
    "Vec3": Vec3(1.5, -2.0, 1e300),
    "StateVectorTeme": TEME,
    "StateVectorEcef": ECEF,
    "StateVectorEnu": ENU,
    "StateVectorLvlh": TEME.to_lvlh(PREDICTOR.propagate(TRANSIT.end)),
    "Interval": DAY.intersection(TRANSIT),
    "Transit": TRANSIT,
    "Illumination": next(PREDICTOR.illumination_iter(DAY)),
    "Apsis": next(PREDICTOR.apsis_iter(DAY)),
    "AoiWindow": next(PREDICTOR.aoi_iter(CIRCLE, DAY)),
    "Observation": ENU.to_observation(),
    "Polygon": Polygon([(40.1, -5.3), (40.7, 5.9), (50.3, 5.1), (50.9, -5.7)], FillRule.EvenOdd),
    "Rectangle": Rectangle((40.1, 170.3), (50.7, -175.9)),
    "latitude band": Rectangle.latitude_band(-10.3, 10.7),
    "Circle": CIRCLE,
}

POINTS = [(45.0, 0.0), (41.3, -4.9), (-12.0, 100.0), (60.0, 179.0)]


def read_out(value):
    """What a value shows of itself, for the classes that compare by identity."""
    if isinstance(value, Elements):
        return repr(value), {name: getattr(value, name) for name in dir(Elements)
                             if not name.startswith("_") and not callable(getattr(value, name))}
    if isinstance(value, Predictor):
        t = value.epoch + dt.timedelta(hours=5)
        return value.epoch, value.propagate(t), next(value.transits_iter(OBSERVER, DAY, 10.0))
    if isinstance(value, (Polygon, Rectangle, Circle)):
        shown = {name: getattr(value, name) for name in ("vertices", "fill_rule", "latitudes_deg", "longitudes_deg",
                                                          "centre", "radius_deg") if hasattr(value, name)}
        offsets = [(value.signed_angular_offset_deg(p), value.max_angular_distance_deg(p)) for p in POINTS]
        return repr(value), shown, offsets
    return value


@pytest.mark.parametrize("value", SAMPLES.values(), ids=SAMPLES.keys())
def test_values_pickle_and_copy_to_equal_values(value):
    copies = [pickle.loads(pickle.dumps(value, protocol)) for protocol in PROTOCOLS]
    copies += [copy.copy(value), copy.deepcopy(value)]
    for twin in copies:
        assert type(twin) is type(value)
        assert read_out(twin) == read_out(value)


def test_a_predictor_keeps_its_refinement():
    # Without solver iterations a search fails, so a copy that lost them would succeed.
    no_solver = pickle.loads(pickle.dumps(PREDICTOR.with_refinement(Refinement(max_iter=0))))
    with pytest.raises(RuntimeError):
        next(no_solver.transits_iter(OBSERVER, DAY, 10.0))


MEMBERS = [*(getattr(Classification, n) for n in ("Unclassified", "Classified", "Secret")),
           ApsisEvent.Apogee, ApsisEvent.Perigee, IlluminationState.Sunlit, IlluminationState.Eclipse,
           FillRule.NonZero, FillRule.EvenOdd, Coverage.Any, Coverage.Full]


@pytest.mark.parametrize("member", MEMBERS, ids=repr)
def test_enumerations_pickle_as_their_members(member):
    assert all(pickle.loads(pickle.dumps(member, protocol)) is member for protocol in PROTOCOLS)
    assert copy.copy(member) is member and copy.deepcopy(member) is member


def replaced(state, index, value):
    return (*state[:index], value, *state[index + 1:])


def payload(value):
    """The callable and the state that rebuild a value."""
    rebuild, state = value.__reduce__()
    return rebuild, tuple(state)


BAD_ELEMENTS = Elements(**{**ISS_FIELDS, "mean_anomaly": math.nan})
UNIT_X, UNIT_Y = Vec3(1.0, 0.0, 0.0), Vec3(0.0, 1.0, 0.0)

# (sample, state -> tampered state, exception)
TAMPERED = {
    "surplus field": ("Vec3", lambda s: (*s, 1.0), TypeError),
    "missing field": ("Elements", lambda s: s[:-1], TypeError),
    "text for a number": ("LatLon", lambda s: ("1", s[1]), TypeError),
    "bytes for a text": ("Tle", lambda s: replaced(s, 1, ISS_TLE[1].encode()), TypeError),
    "number beyond a float": ("GeodeticPoint", lambda s: replaced(s, 2, 10 ** 400), ValueError),
    "negative count": ("Refinement", lambda s: (s[0], -1), ValueError),
    "datetime for an exact instant": ("Elements", lambda s: replaced(s, 1, DAY.start), TypeError),
    "instant of two parts": ("Interval", lambda s: (s[0][:2], s[1]), TypeError),
    "second beyond the day": ("Elements", lambda s: replaced(s, 1, (18455, 86400, 0)), ValueError),
    "leap nanosecond off the minute's end": ("Transit", lambda s: (s[0], (s[1][0], 120, 1_500_000_000)), ValueError),
    "day beyond the calendar": ("Interval", lambda s: ((2 ** 70, 0, 0), s[1]), ValueError),
    "int for a member": ("Elements", lambda s: replaced(s, 13, 1), TypeError),
    "byte beyond 255": ("Elements", lambda s: replaced(s, 16, 256), ValueError),
    "window ending before it starts": ("AoiWindow", lambda s: (s[1], s[0]), ValueError),
    "illumination without a state": ("Illumination", lambda s: (None, *s[1:]), TypeError),
    "infinite apsis altitude": ("Apsis", lambda s: (*s[:2], math.inf), ValueError),
    "observation elevation beyond the zenith": ("Observation", lambda s: replaced(s, 1, 2.0), ValueError),
    "negative range": ("Observation", lambda s: replaced(s, 2, -1.0), ValueError),
    "state of NaN": ("StateVectorTeme", lambda s: (Vec3(math.nan, 0, 0), s[1]), ValueError),
    "state of tuples": ("StateVectorEnu", lambda s: ((1.0, 2.0, 3.0), s[1]), TypeError),
    "elements SGP4 refuses": ("Predictor", lambda s: (BAD_ELEMENTS, s[1]), ValueError),
    "eccentricity of 1": ("Predictor", lambda s: (Elements(**{**ISS_FIELDS, "eccentricity": 1.0}), s[1]),
                          ValueError),
    "refinement as a tuple": ("Predictor", lambda s: (s[0], (0.5, 10)), TypeError),
    "two vertices": ("Polygon", lambda s: (s[0][:2], s[1]), ValueError),
    "vertex off the sphere": ("Polygon", lambda s: ([Vec3(2.0, 0.0, 0.0), *s[0][1:]], s[1]), ValueError),
    "vertex as a tuple": ("Polygon", lambda s: ([(1.0, 0.0, 0.0), *s[0][1:]], s[1]), TypeError),
    "ring around the equator": ("Polygon", lambda s: ([UNIT_X, UNIT_Y, Vec3(-1.0, 0.0, 0.0), Vec3(0.0, -1.0, 0.0)],
                                                      s[1]), ValueError),
    "antipodal edge": ("Polygon", lambda s: ([UNIT_X, Vec3(-1.0, 0.0, 0.0), UNIT_Y], s[1]), ValueError),
    "vertices not iterable": ("Polygon", lambda s: (5, s[1]), TypeError),
    "int for a fill rule": ("Polygon", lambda s: (s[0], 0), TypeError),
    "south above north": ("Rectangle", lambda s: (s[1], s[0], *s[2:]), ValueError),
    "latitude beyond the pole": ("Rectangle", lambda s: (s[0], 1.6, *s[2:]), ValueError),
    "west beyond the antimeridian": ("Rectangle", lambda s: (*s[:2], math.pi, s[3]), ValueError),
    "extent beyond a turn": ("Rectangle", lambda s: (*s[:3], 7.0), ValueError),
    "NaN extent": ("Rectangle", lambda s: (*s[:3], math.nan), ValueError),
    "radius beyond a hemisphere": ("Circle", lambda s: (s[0], 1.6), ValueError),
    "centre off the sphere": ("Circle", lambda s: (Vec3(0.0, 0.0, 0.5), s[1]), ValueError),
}


class Tampered:
    """Pickles as a tampered payload, so that loading it rebuilds from that payload."""

    def __init__(self, rebuild, state):
        self.reduced = rebuild, state

    def __reduce__(self):
        return self.reduced


@pytest.mark.parametrize("sample, tamper, error", TAMPERED.values(), ids=TAMPERED.keys())
def test_a_tampered_payload_is_refused(sample, tamper, error):
    rebuild, state = payload(SAMPLES[sample])
    bad = tamper(state)
    with pytest.raises(error):
        rebuild(*bad)
    with pytest.raises(error):
        pickle.loads(pickle.dumps(Tampered(rebuild, bad)))

