"""Reference and memory leak check of the extension, for a debug interpreter.

Run by scripts/refleak.sh with python3.11-dbg; pytest does not collect it. Every
operation below -- each constructor, method, property, setter, iterator step and
protocol slot, and each of their error paths -- runs thousands of times after a
warm-up. Across that loop the interpreter's total reference count, its count of
allocated memory blocks and the bytes in use on the C heap (where the C++ core
allocates) must not grow.

Most operations are generated: every argument of every callable is also given the
wrong values of its kind, and the argument binder is given missing, surplus,
unknown and doubled arguments. Introspection of the module checks that the table
names every public class, callable and property, so that nothing added later
escapes the loop.
"""
from __future__ import annotations

import argparse
import contextlib
import copy
import ctypes
import dataclasses
import datetime as dt
import gc
import inspect
import itertools
import json
import math
import pickle
import signal
import struct
import sys
import time
import warnings
from typing import Any, Callable, Iterator, Optional

from orbweave import _arrays
from orbweave import _orbweave as ow
from orbweave._orbweave import (AoiWindow, Apsis, ApsisEvent, Circle, Classification, Coverage, Elements, FillRule,
                                GeodeticPoint, Illumination, IlluminationState, Interval, LatLon, Polygon, Predictor,
                                Rectangle, Refinement, Tle, Vec3)

UTC = dt.timezone.utc


def utc(*fields: int) -> dt.datetime:
    return dt.datetime(*fields, tzinfo=UTC)


# ------------------------------------------------------------------ fixtures

ISS_TLE = ("ISS (ZARYA)",
           "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
           "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")
EPOCH = utc(2020, 7, 12, 1, 19, 7)
ISS = dict(norad_id=25544, epoch=EPOCH, mean_motion=15.49560532, eccentricity=0.0001771, inclination=51.6435,
           right_ascension=225.4004, argument_of_perigee=44.9625, mean_anomaly=5.1087, mean_motion_dot=0.00289036)
ISS_ALL = {**ISS, "mean_motion_ddot": 1e-12, "drag_term": 0.0049645, "revolution_number": 23587,
           "object_name": "ISS (ZARYA)", "classification": Classification.Secret,
           "international_designator": "1998-067A", "element_set_number": 999, "ephemeris_type": 0}
OMM = {"OBJECT_NAME": "ISS (ZARYA)", "OBJECT_ID": "1998-067A", "EPOCH": "2020-07-12T01:19:07.199616",
       "MEAN_MOTION": 15.49560532, "ECCENTRICITY": 0.0001771, "INCLINATION": 51.6435, "RA_OF_ASC_NODE": 225.4004,
       "ARG_OF_PERICENTER": 44.9625, "MEAN_ANOMALY": 5.1087, "EPHEMERIS_TYPE": 0, "CLASSIFICATION_TYPE": "U",
       "NORAD_CAT_ID": 25544, "ELEMENT_SET_NO": 999, "REV_AT_EPOCH": 23587, "BSTAR": 0.0049645,
       "MEAN_MOTION_DOT": 0.00289036, "MEAN_MOTION_DDOT": 0}
OMM_JSON = json.dumps(OMM)

T1 = EPOCH + dt.timedelta(minutes=42)
HOUR, MINUTE, SECOND = dt.timedelta(hours=1), dt.timedelta(minutes=1), dt.timedelta(seconds=1)
DAY = Interval(EPOCH, EPOCH + dt.timedelta(days=1))
# Long enough that no iterator stepped thousands of times runs out.
YEARS = Interval(EPOCH, EPOCH + dt.timedelta(days=3650))
AGES = Interval(utc(1, 1, 1), utc(9999, 1, 1))

P = Predictor(Elements(**ISS))
OBSERVER = GeodeticPoint(40.0, -75.0, 50.0)
TEME = P.propagate(T1)
ECEF = TEME.to_ecef(T1)
ENU = ECEF.to_enu(OBSERVER)
LVLH = TEME.to_lvlh(P.propagate(T1 + SECOND))
POLYGON = Polygon([(40, -5), (40, 5), (50, 5), (50, -5)])
RECTANGLE = Rectangle((40, -5), (50, 5))
CIRCLE = Circle((45, 0), 5)
BAND = Rectangle.latitude_band(-10.0, 10.0)
TRANSIT = next(P.transits_iter(OBSERVER, DAY, 10.0))
ILLUMINATION = next(P.illumination_iter(DAY))
APSIS = next(P.apsis_iter(DAY))
AOI_WINDOW = next(P.aoi_iter(CIRCLE, DAY))
LEAP = Elements.from_dict({**OMM, "EPOCH": "2016-12-31T23:59:60.5"})
LEAP_PREDICTOR = Predictor(LEAP)
DECAYING = Predictor(Elements(**{**ISS, "drag_term": 0.5, "mean_motion_dot": 0.01}))
LATE = EPOCH + dt.timedelta(days=60)
NO_SOLVER = P.with_refinement(Refinement(max_iter=0))
NEVER_CONVERGES = P.with_refinement(Refinement(time_tolerance=0.0, max_iter=2 ** 64 - 1))

PROTOCOLS = range(pickle.HIGHEST_PROTOCOL + 1)

# One sample of every class, with an equal twin and a different value where the
# class compares.
SAMPLES: dict[type, tuple[Any, Any, Any]] = {
    Elements: (Elements(**ISS), Elements(**ISS), Elements(**ISS_ALL)),
    Tle: (Tle(*ISS_TLE), Tle(*ISS_TLE), Tle("", "1", "2")),
    LatLon: (LatLon(1, 2), LatLon(1, 2), LatLon(1, 3)),
    GeodeticPoint: (OBSERVER, GeodeticPoint(40.0, -75.0, 50.0), GeodeticPoint(40.0, -75.0, 51.0)),
    Vec3: (Vec3(1, 2, 3), Vec3(1, 2, 3), Vec3(1, 2, 4)),
    type(TEME): (TEME, P.propagate(T1), P.propagate(EPOCH)),
    type(ECEF): (ECEF, TEME.to_ecef(T1), TEME.to_ecef(EPOCH)),
    type(ENU): (ENU, ECEF.to_enu(OBSERVER), ECEF.to_enu(GeodeticPoint(0, 0, 0))),
    type(LVLH): (LVLH, TEME.to_lvlh(P.propagate(T1 + SECOND)), TEME.to_lvlh(P.propagate(EPOCH))),
    Interval: (DAY, Interval(DAY.start, DAY.end), Interval(EPOCH, T1)),
    type(ENU.to_observation()): (ENU.to_observation(), ENU.to_observation(), P.observe_at(EPOCH, OBSERVER)),
    type(LVLH.to_pointing()): (LVLH.to_pointing(), LVLH.to_pointing(), P.point_at(EPOCH, OBSERVER)),
    type(TRANSIT): (TRANSIT, next(P.transits_iter(OBSERVER, DAY, 10.0)), list(P.transits_iter(OBSERVER, DAY, 10.0))[1]),
    Apsis: (APSIS, next(P.apsis_iter(DAY)), list(P.apsis_iter(DAY))[1]),
    Illumination: (ILLUMINATION, next(P.illumination_iter(DAY)), list(P.illumination_iter(DAY))[1]),
    Polygon: (POLYGON, None, None),
    Rectangle: (RECTANGLE, None, None),
    Circle: (CIRCLE, None, None),
    AoiWindow: (AOI_WINDOW, next(P.aoi_iter(CIRCLE, DAY)), list(P.aoi_iter(CIRCLE, DAY))[1]),
    Predictor: (P, None, None),
    Refinement: (Refinement(), Refinement(), Refinement(max_iter=3)),
}
for enumeration in (Classification, ApsisEvent, IlluminationState, FillRule, Coverage):
    members = [v for v in vars(enumeration).values() if type(v) is enumeration]
    SAMPLES[enumeration] = (members[0], members[0], members[1])

# Every iterator class, made over a given interval.
ITERATORS: dict[str, Callable[[Interval], Iterator]] = {
    "PredictionIter": lambda span: P.prediction_iter(span, MINUTE),
    "ObservationIter": lambda span: P.observation_iter(OBSERVER, span, MINUTE),
    "GroundTrackIter": lambda span: P.ground_track_iter(span, MINUTE),
    "TransitIter": lambda span: P.transits_iter(OBSERVER, span, 10.0),
    "IlluminationIter": lambda span: P.illumination_iter(span),
    "ApsisIter": lambda span: P.apsis_iter(span),
    "AoiIter": lambda span: P.aoi_iter(BAND, span, max_window_duration=dt.timedelta(hours=2)),
}

# ------------------------------------------------------------------ wrong values


class Utc2(dt.tzinfo):
    """UTC in every respect but equality with timezone.utc."""

    def utcoffset(self, _):
        return dt.timedelta(0)

    def dst(self, _):
        return dt.timedelta(0)


class RaisingEq(Utc2):
    """A zone whose comparison raises."""

    def __eq__(self, other):
        raise RuntimeError("cannot compare")

    __hash__ = object.__hash__


class OffCalendar(dt.datetime):
    """A datetime whose month lies beyond any calendar."""

    month = property(lambda self: 2 ** 32 + 1)


class Endless(dt.timedelta):
    """A timedelta whose days overflow every duration."""

    days = property(lambda self: 2 ** 62)


class StartRaises:
    end = EPOCH

    @property
    def start(self):
        raise KeyError("start")


class NaiveEnd:
    start, end = EPOCH, dt.datetime(2024, 1, 1)


class FloatRaises:
    def __float__(self):
        raise ZeroDivisionError("no float")


class RaisingPoints:
    """Vertices whose iteration fails after the first."""

    def __iter__(self):
        yield (0.0, 0.0)
        raise KeyError("from the iterator")


# Wrong values by kind of argument, each with the exception it must raise.
WRONG: dict[str, list[tuple[Any, type]]] = {
    "datetime": [(dt.datetime(2024, 1, 1), TypeError), (dt.datetime(2024, 1, 1, tzinfo=dt.timezone(HOUR)), ValueError),
                 (dt.datetime(2024, 1, 1, tzinfo=Utc2()), ValueError),
                 (dt.datetime(2024, 1, 1, tzinfo=RaisingEq()), RuntimeError),
                 (OffCalendar(2024, 1, 1, tzinfo=UTC), ValueError), ("2024-01-01", TypeError)],
    "timedelta": [(1.0, TypeError), (Endless(days=1), OverflowError)],
    "interval": [(object(), AttributeError), (StartRaises(), KeyError), (NaiveEnd(), TypeError)],
    "geodetic": [((40.0, -75.0), TypeError)],
    "latlon": [((1, 2, 3), TypeError), ([1, 2], TypeError), (("a", 0), TypeError)],
    "float": [("1", TypeError), (FloatRaises(), ZeroDivisionError)],
    "count": [(-1, OverflowError), (2 ** 64, OverflowError), (1.5, TypeError)],
    "bool": [(1, TypeError)],
    "area": [(LatLon(0, 0), TypeError)],
    "coverage": [(1, TypeError)],
    "classification": [("U", TypeError)],
    "fill_rule": [(0, TypeError)],
    "refinement": [((0.5, 10), TypeError)],
    "tle": [("tle", TypeError)],
    "elements": [("elements", TypeError)],
    "teme": [(Vec3(1, 2, 3), TypeError)],
    "text": [(b"text", TypeError), ("\ud800", UnicodeEncodeError)],
    "vertices": [(5, TypeError), (RaisingPoints(), KeyError), ([(0, 0), (0, 10), "x"], TypeError)],
    "omm": [({**OMM, "EPOCH": EPOCH}, TypeError), ({(1, 2): 3}, TypeError), ("{}", ValueError)],
    # The fields of pickled values.
    "instant": [(EPOCH, TypeError), ((0, 0), TypeError), ((0, 0, "0"), TypeError), ((0, 86400, 0), ValueError),
                ((2 ** 70, 0, 0), ValueError), ((0, 58, 1_500_000_000), ValueError)],
    "vec3": [((1.0, 2.0, 3.0), TypeError)],
    "unit_vectors": [(5, TypeError), (RaisingPoints(), TypeError), ([(1.0, 0.0, 0.0)] * 3, TypeError),
                     ([Vec3(2, 0, 0)] * 3, ValueError), ([Vec3(1, 0, 0)] * 3, ValueError)],
    "illumination_state": [(0, TypeError)],
    "apsis_event": [(1, TypeError)],
}
# What None raises where an argument is required: the wrong-type TypeError, but for
# an interval (no attribute `start`) and an OMM dictionary (JSON null).
NONE_RAISES = {"interval": AttributeError, "omm": ValueError}

# The kind of each argument, by name; "Class.method.argument" where a name means
# different things.
KIND = {
    **dict.fromkeys(["t", "now", "start", "end", "epoch"], "datetime"),
    **dict.fromkeys(["interval", "other"], "interval"),
    **dict.fromkeys(["step", "min_step", "max_step", "walk_step", "max_transit_duration", "max_window_duration",
                     "scan_step"], "timedelta"),
    **dict.fromkeys(["observer", "target"], "geodetic"),
    **dict.fromkeys(["point", "centre", "south_west", "north_east"], "latlon"),
    **dict.fromkeys(["min_elevation_deg", "max_off_nadir_deg", "latitude_deg", "longitude_deg", "altitude", "x", "y",
                     "z", "radius_deg", "south_deg", "north_deg", "time_tolerance", "mean_motion", "eccentricity",
                     "inclination", "right_ascension", "argument_of_perigee", "mean_anomaly", "mean_motion_dot",
                     "mean_motion_ddot", "drag_term"], "float"),
    **dict.fromkeys(["norad_id", "revolution_number", "element_set_number", "ephemeris_type", "max_iter"], "count"),
    **dict.fromkeys(["skip_leading_partial", "clamp_to_interval"], "bool"),
    **dict.fromkeys(["satellite_name", "line_1", "line_2", "object_name", "international_designator", "json"],
                    "text"),
    "area": "area", "coverage": "coverage", "classification": "classification", "fill_rule": "fill_rule",
    "refinement": "refinement", "tle": "tle", "elements": "elements", "vertices": "vertices", "data": "omm",
    "StateVectorTeme.to_lvlh.target": "teme",
}
# Required arguments for which None is a value (a name that is absent).
NONE_ACCEPTED = {"Elements._unpickle.object_name", "Elements._unpickle.international_designator"}
# The arguments of `_unpickle`, which rebuilds a pickled value from its stored fields.
UNPICKLE_KIND = {
    **dict.fromkeys(["epoch", "start", "end", "time"], "instant"),
    **dict.fromkeys(["position", "velocity", "centre"], "vec3"),
    **dict.fromkeys(["azimuth", "elevation", "range", "range_rate", "south", "north", "west", "extent", "radius"],
                    "float"),
    "vertices": "unit_vectors", "state": "illumination_state", "event": "apsis_event",
}

# ------------------------------------------------------------------ callables

TRANSIT_KNOBS = dict(min_step=SECOND, max_step=MINUTE, walk_step=SECOND, max_transit_duration=HOUR,
                     skip_leading_partial=False, clamp_to_interval=True)
AOI_KNOBS = dict(max_off_nadir_deg=30.0, coverage=Coverage.Full, min_step=SECOND, max_step=MINUTE, walk_step=SECOND,
                 max_window_duration=HOUR, skip_leading_partial=False, clamp_to_interval=True)


@dataclasses.dataclass
class Call:
    """A callable with arguments it accepts, and its optional knobs set to values other than their defaults."""

    function: Callable
    args: tuple = ()
    kwargs: dict = dataclasses.field(default_factory=dict)
    knobs: dict = dataclasses.field(default_factory=dict)


# Every constructor and method, keyed as the coverage check names them.
CALLS: dict[str, Call] = {
    "Elements.__new__": Call(Elements, kwargs=ISS, knobs={k: v for k, v in ISS_ALL.items() if k not in ISS}),
    "Elements.from_json": Call(Elements.from_json, (OMM_JSON,)),
    "Elements.from_dict": Call(Elements.from_dict, (OMM,)),
    "Tle.__new__": Call(Tle, ISS_TLE),
    "Tle.to_elements": Call(Tle(*ISS_TLE).to_elements),
    "LatLon.__new__": Call(LatLon, (1.0, 2.0)),
    "GeodeticPoint.__new__": Call(GeodeticPoint, (1.0, 2.0, 3.0)),
    "Vec3.__new__": Call(Vec3, (1.0, 2.0, 3.0)),
    "StateVectorTeme.to_ecef": Call(TEME.to_ecef, (T1,)),
    "StateVectorTeme.to_lvlh": Call(TEME.to_lvlh, (TEME,)),
    "StateVectorEcef.to_enu": Call(ECEF.to_enu, (OBSERVER,)),
    "StateVectorEcef.to_teme": Call(ECEF.to_teme, (T1,)),
    "StateVectorEnu.to_observation": Call(ENU.to_observation),
    "StateVectorLvlh.to_pointing": Call(LVLH.to_pointing),
    "Interval.__new__": Call(Interval, (EPOCH, T1)),
    "Interval.intersection": Call(DAY.intersection, (TRANSIT,)),
    "Transit.intersection": Call(TRANSIT.intersection, (DAY,)),
    "Illumination.intersection": Call(ILLUMINATION.intersection, (DAY,)),
    "AoiWindow.intersection": Call(AOI_WINDOW.intersection, (Interval(EPOCH, EPOCH),)),
    "Polygon.__new__": Call(Polygon, ([(40, -5), (40, 5), (50, 5), (50, -5)],), knobs=dict(fill_rule=FillRule.EvenOdd)),
    "Polygon.signed_angular_offset_deg": Call(POLYGON.signed_angular_offset_deg, ((45, 0),)),
    "Polygon.max_angular_distance_deg": Call(POLYGON.max_angular_distance_deg, (LatLon(45, 0),)),
    "Rectangle.__new__": Call(Rectangle, ((40, -5), LatLon(50, 5))),
    "Rectangle.latitude_band": Call(Rectangle.latitude_band, (-10.0, 10.0)),
    "Rectangle.signed_angular_offset_deg": Call(RECTANGLE.signed_angular_offset_deg, (OBSERVER,)),
    "Rectangle.max_angular_distance_deg": Call(RECTANGLE.max_angular_distance_deg, ((45, 0),)),
    "Circle.__new__": Call(Circle, ((45, 0), 5.0)),
    "Circle.signed_angular_offset_deg": Call(CIRCLE.signed_angular_offset_deg, ((45, 1),)),
    "Circle.max_angular_distance_deg": Call(CIRCLE.max_angular_distance_deg, ((45, 1),)),
    "Predictor.__new__": Call(Predictor, (Elements(**ISS),)),
    "Predictor.from_tle": Call(Predictor.from_tle, (Tle(*ISS_TLE),)),
    "Predictor.with_refinement": Call(P.with_refinement, (Refinement(max_iter=3),)),
    "Predictor.propagate": Call(P.propagate, (T1,)),
    "Predictor.observe_at": Call(P.observe_at, (T1, OBSERVER)),
    "Predictor.point_at": Call(P.point_at, (T1, OBSERVER)),
    "Predictor.prediction_iter": Call(P.prediction_iter, (DAY, MINUTE)),
    "Predictor.observation_iter": Call(P.observation_iter, (OBSERVER, DAY, MINUTE)),
    "Predictor.ground_track_iter": Call(P.ground_track_iter, (DAY, MINUTE)),
    "Predictor.transits_iter": Call(P.transits_iter, (OBSERVER, DAY, 10.0), knobs=TRANSIT_KNOBS),
    "Predictor.sub_point": Call(P.sub_point, (T1,)),
    "Predictor.aoi_iter": Call(P.aoi_iter, (CIRCLE, DAY), knobs=AOI_KNOBS),
    "Predictor.detect_aoi": Call(P.detect_aoi, (AOI_WINDOW.mid_point, CIRCLE),
                                 knobs={k: AOI_KNOBS[k] for k in ("max_off_nadir_deg", "coverage", "walk_step",
                                                                  "max_window_duration")}),
    "Predictor.apsis_iter": Call(P.apsis_iter, (DAY,), knobs=dict(step=MINUTE)),
    "Predictor.illumination_iter": Call(P.illumination_iter, (DAY,),
                                        knobs=dict(step=MINUTE, walk_step=SECOND, max_window_duration=HOUR)),
    "Predictor.detect_transit": Call(P.detect_transit, (TRANSIT.mid_point, OBSERVER, 10.0),
                                     knobs=dict(walk_step=SECOND, max_transit_duration=HOUR)),
    "Predictor.max_elevation": Call(P.max_elevation, (OBSERVER, TRANSIT), knobs=dict(scan_step=MINUTE)),
    "Predictor.illumination_state": Call(P.illumination_state, (T1,)),
    "Predictor.tle_age_seconds": Call(P.tle_age_seconds, (T1,)),
    "Refinement.__new__": Call(Refinement, knobs=dict(time_tolerance=0.5, max_iter=10)),
}


# Every class that pickles rebuilds from its own state.
for _cls, (_sample, _, _) in SAMPLES.items():
    if "_unpickle" in vars(_cls):
        CALLS[f"{_cls.__name__}._unpickle"] = Call(_cls._unpickle, tuple(_sample.__reduce__()[1]))


def unpickled(cls: type, **fields: Any) -> Callable[[], Any]:
    """Rebuilds a pickled sample of `cls` with some of its fields replaced."""
    names = list(inspect.signature(cls._unpickle).parameters)
    state = dict(zip(names, SAMPLES[cls][0].__reduce__()[1]))
    return lambda: cls._unpickle(**{**state, **fields})


def first_next(iterator: Callable[[], Iterator]) -> Callable[[], Any]:
    return lambda: next(iterator())


# Failures of correctly typed calls: bad texts and elements, failed searches.
FAILURES: dict[str, list[tuple[Callable[[], Any], type]]] = {
    "Tle.to_elements": [(Tle("ISS", ISS_TLE[1], ISS_TLE[2][:68] + "0").to_elements, ValueError),
                        (Tle("", "1", "2").to_elements, ValueError)],
    "Predictor.from_tle": [(lambda: Predictor.from_tle(Tle("", ISS_TLE[1][:-1], ISS_TLE[2])), ValueError)],
    "Elements.from_json": [(lambda t=text: Elements.from_json(t), ValueError)
                           for text in ("", "[", "\ud800", '{"EPOCH": "\ud83d"}', "[" + OMM_JSON + "]",
                                        OMM_JSON.replace('"U"', '"u"'))],
    "Elements.from_dict": [(lambda: Elements.from_dict({k: v for k, v in OMM.items() if k != "BSTAR"}), ValueError),
                           (lambda: Elements.from_dict({**OMM, "NORAD_CAT_ID": " 25544"}), ValueError),
                           (lambda: Elements.from_dict({**OMM, "MEAN_MOTION": math.nan}), ValueError)],
    "Predictor.__new__": [(lambda: Predictor(Elements(**{**ISS, "eccentricity": 1.0})), ValueError),
                          (lambda: Predictor(Elements(**{**ISS, "mean_anomaly": math.nan})), ValueError)],
    "Predictor.propagate": [(lambda: DECAYING.propagate(LATE), RuntimeError)],
    "Predictor.observe_at": [(lambda: DECAYING.observe_at(LATE, OBSERVER), RuntimeError)],
    "Predictor.point_at": [(lambda: DECAYING.point_at(LATE, OBSERVER), RuntimeError)],
    "Predictor.sub_point": [(lambda: DECAYING.sub_point(LATE), RuntimeError)],
    "Predictor.illumination_state": [(lambda: DECAYING.illumination_state(LATE), RuntimeError)],
    "Predictor.max_elevation": [(lambda: NO_SOLVER.max_elevation(OBSERVER, DAY), RuntimeError),
                                (lambda: DECAYING.max_elevation(OBSERVER, Interval(LATE, LATE + HOUR)), RuntimeError)],
    "Predictor.detect_transit": [(lambda: P.detect_transit(TRANSIT.mid_point, OBSERVER, 10.0,
                                                           max_transit_duration=MINUTE), RuntimeError)],
    "Predictor.detect_aoi": [(lambda: P.detect_aoi(EPOCH, Rectangle.latitude_band(-90.0, 40.0)), RuntimeError)],
    "Transit._unpickle": [(unpickled(type(TRANSIT), start=(18455, 0, 1), end=(18455, 0, 0)), ValueError)],
    "AoiWindow._unpickle": [(unpickled(AoiWindow, start=(18455, 0, 1), end=(18455, 0, 0)), ValueError)],
    "Illumination._unpickle": [(unpickled(Illumination, start=(18455, 0, 1), end=(18455, 0, 0)), ValueError)],
    "StateVectorTeme._unpickle": [(unpickled(type(TEME), position=Vec3(math.nan, 0, 0)), ValueError)],
    "Apsis._unpickle": [(unpickled(Apsis, altitude=math.inf), ValueError)],
    "Observation._unpickle": [(unpickled(type(ENU.to_observation()), elevation=2.0), ValueError),
                              (unpickled(type(ENU.to_observation()), range=-1.0), ValueError)],
    "Predictor._unpickle": [(unpickled(Predictor, elements=Elements(**{**ISS, "eccentricity": 1.0})), ValueError)],
    "Rectangle._unpickle": [(unpickled(Rectangle, west=math.pi), ValueError),
                            (unpickled(Rectangle, extent=7.0), ValueError),
                            (unpickled(Rectangle, south=0.9), ValueError)],
    "Circle._unpickle": [(unpickled(Circle, centre=Vec3(0, 0, 2)), ValueError),
                         (unpickled(Circle, radius=2.0), ValueError)],
    "TransitIter.__next__": [(first_next(lambda: NO_SOLVER.transits_iter(OBSERVER, DAY, 10.0)), RuntimeError),
                             (first_next(lambda: P.transits_iter(OBSERVER, DAY, 10.0, max_transit_duration=MINUTE)),
                              RuntimeError)],
    "IlluminationIter.__next__": [(first_next(lambda: P.illumination_iter(DAY, max_window_duration=MINUTE)),
                                   RuntimeError),
                                  (first_next(lambda: NO_SOLVER.illumination_iter(DAY)), RuntimeError)],
    "ApsisIter.__next__": [(first_next(lambda: NO_SOLVER.apsis_iter(DAY)), RuntimeError)],
    "AoiIter.__next__": [(first_next(lambda: P.aoi_iter(Rectangle.latitude_band(-90.0, 40.0), DAY)), RuntimeError)],
    "PredictionIter.__next__": [(first_next(lambda: DECAYING.prediction_iter(Interval(LATE, LATE + HOUR), MINUTE)),
                                 RuntimeError)],
    "ObservationIter.__next__": [(first_next(lambda: DECAYING.observation_iter(OBSERVER, Interval(LATE, LATE + HOUR),
                                                                              MINUTE)), RuntimeError)],
    "GroundTrackIter.__next__": [(first_next(lambda: DECAYING.ground_track_iter(Interval(LATE, LATE + HOUR), MINUTE)),
                                  RuntimeError)],
    "Polygon.__new__": [(lambda: Polygon([(0, 0), (0, 10)]), ValueError),
                        (lambda: Polygon([(0, 0), (0, 10), (91, 0)]), ValueError),
                        (lambda: Polygon([(0, 0), (0, 170), (10, -100), (-10, 60)]), ValueError)],
    "Rectangle.__new__": [(lambda: Rectangle((10, 0), (10, 0)), ValueError),
                          (lambda: Rectangle((math.nan, 0), (1, 1)), ValueError)],
    "Rectangle.latitude_band": [(lambda: Rectangle.latitude_band(10.0, 100.0), ValueError)],
    "Circle.__new__": [(lambda: Circle((0, 0), 90.0), ValueError), (lambda: Circle((0, math.inf), 1.0), ValueError)],
}

# ------------------------------------------------------------------ operations


@dataclasses.dataclass
class Op:
    covers: str                 # what the coverage check counts it for
    label: str
    run: Callable[[], Any]
    raises: Optional[type] = None
    context: Callable[[], contextlib.AbstractContextManager] = contextlib.nullcontext


def kind_of(key: str, name: str) -> str:
    if key.endswith("._unpickle") and name in UNPICKLE_KIND:
        return UNPICKLE_KIND[name]
    kind = KIND.get(f"{key.removesuffix('.__new__')}.{name}", KIND.get(name))
    if kind is None:
        raise SystemExit(f"{key}: no kind for the argument '{name}'; add it to KIND")
    return kind


def parameters(call: Call) -> list[inspect.Parameter]:
    return list(inspect.signature(call.function).parameters.values())


def argument_ops(key: str, call: Call) -> Iterator[Op]:
    """The call as given and with every knob, then each argument given each wrong value of its kind."""
    yield Op(key, "as given", lambda: call.function(*call.args, **call.kwargs))
    if call.knobs:
        yield Op(key, "every knob", lambda: call.function(*call.args, **call.kwargs, **call.knobs))
    for index, parameter in enumerate(parameters(call)):
        given = {**call.kwargs, **call.knobs}
        kind = kind_of(key, parameter.name)
        wrong = list(WRONG[kind])
        if parameter.default is inspect.Parameter.empty and f"{key}.{parameter.name}" not in NONE_ACCEPTED:
            wrong.append((None, NONE_RAISES.get(kind, TypeError)))
        for value, error in wrong:
            if key.endswith("._unpickle") and error is OverflowError:
                error = ValueError  # a payload promises TypeError or ValueError only
            if index < len(call.args):
                args = (*call.args[:index], value, *call.args[index + 1:])
                yield Op(key, f"{parameter.name}={value!r}", lambda a=args, k=given: call.function(*a, **k), error)
            else:
                kwargs = {**given, parameter.name: value}
                yield Op(key, f"{parameter.name}={value!r}", lambda k=kwargs: call.function(*call.args, **k), error)


def binding_ops(key: str, call: Call) -> Iterator[Op]:
    """Arguments the binder refuses: missing, surplus, unknown and given twice."""
    params = parameters(call)
    positional = [p for p in params if p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD)]
    f, args, kwargs = call.function, call.args, call.kwargs
    yield Op(key, "unknown keyword", lambda: f(*args, **kwargs, bogus=1), TypeError)
    yield Op(key, "surplus positional", lambda: f(*args, *[None] * (len(positional) - len(args) + 1), **kwargs),
             TypeError)
    if any(p.default is p.empty for p in params):
        yield Op(key, "missing", f, TypeError)
    if args and positional and positional[0].kind == positional[0].POSITIONAL_OR_KEYWORD:
        yield Op(key, "given twice", lambda: f(*args, **kwargs, **{positional[0].name: args[0]}), TypeError)
    if args and positional and positional[0].kind == positional[0].POSITIONAL_ONLY:
        yield Op(key, "positional-only by keyword", lambda: f(**{positional[0].name: args[0]}), TypeError)


@contextlib.contextmanager
def warnings_as(action: str):
    """Warnings under one filter action, shown nowhere and sent to no hook."""
    with warnings.catch_warnings():
        warnings.simplefilter(action)
        saved_show, saved_hook = warnings.showwarning, sys.unraisablehook
        warnings.showwarning = lambda *args, **kwargs: None
        sys.unraisablehook = lambda unraisable: None
        try:
            yield
        finally:
            warnings.showwarning, sys.unraisablehook = saved_show, saved_hook


class Discard:
    """A stream that keeps nothing (a file would buffer, and so vary the counts)."""

    def write(self, text: str) -> int:
        return len(text)

    def flush(self) -> None:
        pass


@contextlib.contextmanager
def quiet_stderr():
    """The panic report goes to sys.stderr; thousands of them go nowhere."""
    saved, sys.stderr = sys.stderr, Discard()
    try:
        yield
    finally:
        sys.stderr = saved


@contextlib.contextmanager
def alarm_interrupts():
    """SIGALRM raises KeyboardInterrupt, as SIGINT does."""
    def interrupt(signum, frame):
        raise KeyboardInterrupt

    saved = signal.signal(signal.SIGALRM, interrupt)
    try:
        yield
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, saved)


def interrupted(run: Callable[[], Any], seconds: float = 0.002) -> Callable[[], Any]:
    """`run`, with an alarm `seconds` after it starts."""
    def call():
        signal.setitimer(signal.ITIMER_REAL, seconds)
        run()
    return call


def panic_iterator():
    last = dt.datetime(9999, 12, 31, 23, 59, 59, tzinfo=UTC)
    return P.prediction_iter(Interval(last, last + dt.timedelta(microseconds=1)), dt.timedelta(days=999_999_999))


def panic_type() -> type:
    with quiet_stderr():
        try:
            next(panic_iterator())
        except BaseException as panic:  # noqa: B902 - PanicException derives from BaseException
            return type(panic)
    raise SystemExit("the panic path raised nothing")


def protocol_ops(cls: type, sample: Any, twin: Any, other: Any) -> Iterator[Op]:
    """Properties, setters and slots of one class, on its sample values."""
    name = cls.__name__
    for attribute, value in vars(cls).items():
        if type(value).__name__ == "getset_descriptor" and not attribute.startswith("_"):
            yield Op(f"{name}.{attribute}", "get", lambda a=attribute: getattr(sample, a))
            if settable(sample, attribute):
                yield from setter_ops(name, sample, attribute)
    if "__repr__" in vars(cls):
        yield Op(f"{name}.__repr__", "repr", lambda: repr(sample))
    if "__int__" in vars(cls):
        yield Op(f"{name}.__int__", "int", lambda: int(sample))
        yield Op(f"{name}.__eq__", "== int", lambda: (sample == int(sample), sample != 7))
    if "__eq__" in vars(cls):
        yield Op(f"{name}.__eq__", "== twin", lambda: (sample == twin, sample != twin))
        yield Op(f"{name}.__eq__", "== other", lambda: (sample == other, sample != other))
        yield Op(f"{name}.__eq__", "== foreign", lambda: (sample == "foreign", sample != 1.5))
        yield Op(f"{name}.__eq__", "<", lambda: sample < twin, TypeError)
    if "__reduce__" in vars(cls):
        yield Op(f"{name}.__reduce__", "pickle, every protocol",
                 lambda: [pickle.loads(pickle.dumps(sample, protocol)) for protocol in PROTOCOLS])
        yield Op(f"{name}.__reduce__", "copy and deepcopy", lambda: (copy.copy(sample), copy.deepcopy(sample)))
        yield Op(f"{name}.__reduce__", "surplus argument", lambda: sample.__reduce__(1), TypeError)
    if cls.__hash__ is not None and "__hash__" in vars(cls):
        yield Op(f"{name}.__hash__", "hash", lambda: hash(sample))
    elif "__eq__" in vars(cls):
        yield Op(f"{name}.__eq__", "unhashable", lambda: hash(sample), TypeError)
    yield Op(name, "new attribute", lambda: setattr(sample, "bogus", 1), AttributeError)


def settable(sample: Any, attribute: str) -> bool:
    try:
        setattr(sample, attribute, getattr(sample, attribute))
    except AttributeError:
        return False
    return True


def setter_ops(name: str, sample: Any, attribute: str) -> Iterator[Op]:
    key, value = f"{name}.{attribute}=", getattr(sample, attribute)
    yield Op(key, "set", lambda: setattr(sample, attribute, value))
    for wrong, error in [*WRONG[kind_of(name, attribute)], (None, TypeError)]:
        yield Op(key, f"set {wrong!r}", lambda w=wrong: setattr(sample, attribute, w), error)
    yield Op(key, "delete", lambda: delattr(sample, attribute), TypeError)


def iterator_ops() -> Iterator[Op]:
    for name, make in ITERATORS.items():
        running, finished = make(YEARS), make(Interval(EPOCH, EPOCH + MINUTE))
        list(finished)
        yield Op(f"{name}.__next__", "step", lambda i=running: next(i))
        yield Op(f"{name}.__next__", "after the end", lambda i=finished: next(i), StopIteration)
        yield Op(f"{name}.__iter__", "iter", lambda i=running: iter(i))
        yield Op(name, "new attribute", lambda i=running: setattr(i, "bogus", 1), AttributeError)
    # A search stopped by a signal: the cancel check runs the handler, whose
    # exception comes back through the search; the iterator stays usable.
    stopped = NEVER_CONVERGES.transits_iter(OBSERVER, DAY, 10.0)
    yield Op("TransitIter.__next__", "interrupted by a signal", interrupted(lambda: next(stopped)), KeyboardInterrupt,
             alarm_interrupts)
    yield Op("Predictor.max_elevation", "interrupted by a signal",
             interrupted(lambda: P.max_elevation(OBSERVER, AGES, scan_step=SECOND)), KeyboardInterrupt,
             alarm_interrupts)


def lane_buffer(lanes: int) -> bytearray:
    return bytearray(52 * lanes)


# Three times as datetime64 ticks (one NaT), as seconds since the epoch (one NaN).
TICKS = struct.pack("=3q", 1_594_516_747_000_000_000, -2 ** 63, 0)
SECONDS = struct.pack("=3d", 0.0, math.nan, 86_400.0 * 60)


def array_ops() -> Iterator[Op]:
    """Every function of orbweave._arrays, with its failing and refused inputs."""
    out = lane_buffer
    cases: dict[str, list[tuple[str, Callable[[], Any], Optional[type]]]] = {
        "propagate_ticks": [
            ("ns", lambda: _arrays.propagate_ticks(P, TICKS, 1, 1, out(3)), None),
            ("ps, decaying", lambda: _arrays.propagate_ticks(DECAYING, TICKS, 1, 1000, out(3)), None),
            ("not a predictor", lambda: _arrays.propagate_ticks(EPOCH, TICKS, 1, 1, out(3)), TypeError),
            ("ticks not bytes", lambda: _arrays.propagate_ticks(P, bytearray(TICKS), 1, 1, out(3)), TypeError),
            ("ragged ticks", lambda: _arrays.propagate_ticks(P, TICKS[:-1], 1, 1, out(3)), ValueError),
            ("unit below 1", lambda: _arrays.propagate_ticks(P, TICKS, 1, 0, out(3)), ValueError),
            ("unit overflow", lambda: _arrays.propagate_ticks(P, TICKS, 2 ** 64, 1, out(3)), OverflowError),
            ("short output", lambda: _arrays.propagate_ticks(P, TICKS, 1, 1, out(2)), ValueError),
            ("missing arguments", lambda: _arrays.propagate_ticks(P, TICKS), TypeError),
        ],
        "propagate_seconds": [
            ("decaying", lambda: _arrays.propagate_seconds(DECAYING, SECONDS, out(3)), None),
            ("output not bytearray", lambda: _arrays.propagate_seconds(P, SECONDS, bytes(156)), TypeError),
            ("short output", lambda: _arrays.propagate_seconds(P, SECONDS, bytearray(155)), ValueError),
        ],
        "propagate_many": [
            ("three", lambda: _arrays.propagate_many((P, DECAYING, P), LATE, out(3)), None),
            ("not a tuple", lambda: _arrays.propagate_many([P], LATE, out(1)), TypeError),
            ("not a predictor", lambda: _arrays.propagate_many((P, 1), LATE, out(2)), TypeError),
            ("naive time", lambda: _arrays.propagate_many((P,), dt.datetime(2020, 1, 1), out(1)), TypeError),
            ("other zone", lambda: _arrays.propagate_many((P,), LATE.astimezone(Utc2()), out(1)), ValueError),
        ],
        "propagate_many_ticks": [
            ("three", lambda: _arrays.propagate_many_ticks((P, DECAYING, P), 0, 10 ** 9, 1, out(3)), None),
            ("NaT", lambda: _arrays.propagate_many_ticks((P,), -2 ** 63, 1, 1, out(1)), None),
            ("unit below 1", lambda: _arrays.propagate_many_ticks((P,), 0, 0, 1, out(1)), ValueError),
        ],
        "kernel": [("name", _arrays.kernel, None)],
        "use_kernel": [
            ("the one in use", lambda: _arrays.use_kernel(_arrays.kernel()), None),
            ("unknown", lambda: _arrays.use_kernel("avx9"), ValueError),
            ("not a string", lambda: _arrays.use_kernel(3), TypeError),
        ],
    }
    for name, runs in cases.items():
        for label, run, error in runs:
            yield Op(f"_arrays.{name}", label, run, error)


def no_constructor_ops() -> Iterator[Op]:
    for name in ow.__all__:
        cls = getattr(ow, name)
        if "__new__" not in vars(cls):
            yield Op(f"{name}()", "refused", cls, TypeError)


def warning_ops() -> Iterator[Op]:
    """The leap-second warning and the deprecated property, under each filter action."""
    for action in ("always", "ignore", "error"):
        context = lambda a=action: warnings_as(a)  # noqa: E731
        yield Op("Elements.epoch", f"leap second, warnings {action}", lambda: LEAP.epoch, None, context)
        yield Op("Predictor.epoch", f"leap second, warnings {action}", lambda: LEAP_PREDICTOR.epoch, None, context)
        for window in (TRANSIT, ILLUMINATION, AOI_WINDOW):
            error = DeprecationWarning if action == "error" else None
            yield Op(f"{type(window).__name__}.duration_seconds", f"warnings {action}",
                     lambda w=window: w.duration_seconds, error, context)


def all_ops() -> list[Op]:
    ops: list[Op] = []
    for key, call in CALLS.items():
        ops += [*argument_ops(key, call), *binding_ops(key, call)]
    for key, failures in FAILURES.items():
        ops += [Op(key, f"fails {i}", run, error) for i, (run, error) in enumerate(failures)]
    for cls, (sample, twin, other) in SAMPLES.items():
        ops += protocol_ops(cls, sample, twin, other)
    ops += [*iterator_ops(), *no_constructor_ops(), *warning_ops(), *array_ops()]
    panic = panic_type()
    ops.append(Op("PanicException", "instant overflow", lambda: next(panic_iterator()), panic, quiet_stderr))
    return ops

# ------------------------------------------------------------------ coverage


def required_coverage() -> tuple[set[str], set[str]]:
    """What the module exposes: the constructors and methods, each of which needs its
    entry in CALLS; and every refused constructor, property, setter and slot."""
    callables, others = set(), {"PanicException"}
    others.update(f"_arrays.{name}" for name in vars(_arrays) if not name.startswith("_"))
    for name in ow.__all__:
        cls = getattr(ow, name)
        members = vars(cls)
        sample = SAMPLES.get(cls, (None,))[0]
        if "__new__" in members:
            callables.add(f"{name}.__new__")
        else:
            others.add(f"{name}()")
        others.add(name)  # instances refuse new attributes
        for attribute, value in members.items():
            if attribute in ("__repr__", "__eq__", "__int__", "__iter__", "__next__", "__reduce__") or \
                    (attribute == "__hash__" and value is not None):
                others.add(f"{name}.{attribute}")
            elif attribute == "_unpickle":
                callables.add(f"{name}.{attribute}")
            elif attribute.startswith("_") or type(value) is cls:
                continue
            elif type(value).__name__ == "getset_descriptor":
                others.add(f"{name}.{attribute}")
                if sample is not None and settable(sample, attribute):
                    others.add(f"{name}.{attribute}=")
            else:
                callables.add(f"{name}.{attribute}")
    return callables, others


def check_coverage(ops: list[Op]) -> list[str]:
    callables, others = required_coverage()
    missing = sorted((callables - CALLS.keys()) | (others - {op.covers for op in ops}))
    no_sample = sorted(name for name in ow.__all__ if getattr(ow, name) not in SAMPLES and not name.endswith("Iter"))
    return [f"not in the table: {item}" for item in missing] + [f"no sample value: {item}" for item in no_sample]

# ------------------------------------------------------------------ measurement


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
                 "keepcost")]


_libc = ctypes.CDLL(None)
_libc.mallinfo2.restype = MallInfo2


def heap_bytes() -> int:
    """Bytes in use on the C heap: the C++ core's allocations, and large Python ones."""
    return _libc.mallinfo2().uordblks


def counts() -> tuple[int, int, int]:
    gc.collect()
    return sys.gettotalrefcount(), sys.getallocatedblocks(), heap_bytes()


def checked(op: Op) -> Callable[[], None]:
    """The operation, failing unless it raises what it should."""
    run, error = op.run, op.raises
    if error is None:
        return run

    def call():
        try:
            run()
        except error:
            return
        raise AssertionError(f"did not raise {error.__name__}")
    return call


def growth(op: Op, loops: int, rounds: int) -> list[tuple[int, int, int]]:
    """The growth of the three counts over each of `rounds` rounds of `loops` calls, after a warm-up."""
    with op.context():
        call = checked(op)
        for _ in range(max(loops // 10, 10)):
            call()
        # Every name bound before the first count, so that each count sees the same
        # objects of this frame.
        deltas: list = [None] * rounds
        before, after = counts(), counts()
        for index in range(rounds):
            before = counts()
            for _ in itertools.repeat(None, loops):
                call()
            after = counts()
            deltas[index] = tuple(a - b for a, b in zip(after, before))
    return deltas


def leaked(deltas: list[tuple[int, int, int]], loops: int) -> bool:
    """Whether the counts grew as a leak makes them grow.

    Every call of one operation takes the same path, so a leak there repeats with
    every call: references grow in every round, blocks and heap bytes by about a block
    a call. References have no other source of growth once warm, so any growth in
    every round is a leak. Blocks and heap bytes also move by what the interpreter's
    free lists and the C allocator keep back, a bounded amount whatever the loop
    count: they count as a leak when every round grows by half a block, or a byte, a
    call."""
    refs, blocks, heap = zip(*deltas)
    return all(d > 0 for d in refs) or all(d >= loops // 2 for d in blocks) or all(d >= loops for d in heap)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--loops", type=int, default=1000, help="calls per measured round (default 1000)")
    parser.add_argument("--rounds", type=int, default=3, help="measured rounds per operation (default 3)")
    parser.add_argument("--only", default="", help="run only operations whose key contains this text")
    parser.add_argument("--verbose", action="store_true", help="print every operation's growth and time")
    options = parser.parse_args()
    if not hasattr(sys, "gettotalrefcount"):
        print("refleak.py needs a debug interpreter (sys.gettotalrefcount)", file=sys.stderr)
        return 2
    # Warnings are ignored but where an operation sets its own filter: the deprecated
    # properties are read while the table is built, and by their generic reads.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        ops = all_ops()
        gaps = check_coverage(ops)
        selected = [op for op in ops if options.only in op.covers]
        started = time.monotonic()
        failures = [failure for op in selected if (failure := measure(op, options))]
    print(f"{ow.__file__}: {len(selected)} operations, {options.rounds} x {options.loops} calls each, "
          f"{time.monotonic() - started:.0f} s")
    for problem in gaps + failures:
        print(problem)
    print(f"refleak: {len(selected) - len(failures)} passed, {len(failures) + len(gaps)} failed")
    return 1 if gaps or failures else 0


def measure(op: Op, options: argparse.Namespace) -> Optional[str]:
    """What is wrong with one operation: a wrong outcome or a leak; None when nothing is."""
    started = time.monotonic()
    try:
        deltas = growth(op, options.loops, options.rounds)
    except Exception as error:  # noqa: BLE001 - a wrong outcome is reported, not raised
        return f"{op.covers} [{op.label}]: {type(error).__name__}: {error}"
    if options.verbose:
        print(f"{time.monotonic() - started:7.2f} s  {op.covers} [{op.label}]: {deltas}", flush=True)
    if leaked(deltas, options.loops):
        return f"{op.covers} [{op.label}]: grows (refs, blocks, heap bytes) per round: {deltas}"
    return None

if __name__ == "__main__":
    sys.exit(main())
