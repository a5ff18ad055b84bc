"""Catalogue runs: readers of multi-satellite inputs, and searches over many satellites
and sites that give the same records on every executor as a plain loop."""
import datetime as dt
import json

import pytest

import orbweave
from orbweave import catalog
from conftest import ISS_FIELDS, ISS_OMM, ISS_TLE, UTC

START = dt.datetime(2020, 7, 12, 2, tzinfo=UTC)
DAY = orbweave.Interval(START, START + dt.timedelta(days=1))
SITES = [orbweave.GeodeticPoint(40.0, -75.0, 50.0), orbweave.GeodeticPoint(-33.9, 18.4, 0.0)]


def satellites() -> list[orbweave.Elements]:
    """The ISS with its node turned, a geostationary satellite whose pass outlasts the
    default cap, and one that decays within the day."""
    base = dict(ISS_OMM)
    omm = [dict(base, NORAD_CAT_ID=90000 + n, OBJECT_NAME=f"LEO {n}", RA_OF_ASC_NODE=30.0 * n) for n in range(5)]
    omm.append(dict(base, NORAD_CAT_ID=90010, OBJECT_NAME="GEO", MEAN_MOTION=1.0027, ECCENTRICITY=0.0001,
                    INCLINATION=0.05, BSTAR=0.0, MEAN_MOTION_DOT=0.0))
    omm.append(dict(base, NORAD_CAT_ID=90011, OBJECT_NAME="DECAYING", MEAN_MOTION=16.2, BSTAR=0.5))
    return catalog.read_omm(json.dumps(omm))


def plain_loop(elements: list[orbweave.Elements]) -> list[tuple]:
    """What the catalogue run must give: each satellite, each site, each pass, in order."""
    expected = []
    for index, item in enumerate(elements):
        predictor = orbweave.Predictor(item)
        for site_index, site in enumerate(SITES):
            try:
                for transit in predictor.transits_iter(site, DAY, 10.0):
                    expected.append((index, site_index, transit.start, transit.end))
            except (RuntimeError, ValueError) as error:
                expected.append((index, site_index, type(error).__name__))
    return expected


def shape(records: list[catalog.Record]) -> list[tuple]:
    return [(r.position, r.site, r.start, r.end) if isinstance(r, catalog.Window) else (r.position, r.site, r.error)
            for r in records]


@pytest.fixture(scope="module")
def dask_executor():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client.get_executor()


@pytest.mark.parametrize("executor", ["default", "processes", "serial", "dask"])
def test_passes_are_the_plain_loop_on_every_executor(executor, request):
    chosen = {"default": lambda: None, "processes": lambda: catalog.process_pool(2),
              "serial": catalog.SerialExecutor, "dask": lambda: request.getfixturevalue("dask_executor")}[executor]()
    elements = satellites()
    seen = []
    records = catalog.passes(elements, SITES, DAY, 10.0, executor=chosen, chunksize=2,
                             progress=lambda done, total: seen.append((done, total)))
    assert shape(records) == plain_loop(elements)
    assert sorted(seen)[-1] == (len(elements), len(elements)) and len(seen) == 4
    failures = [r for r in records if isinstance(r, catalog.Failure)]
    assert {(r.satellite, r.error) for r in failures} == {("GEO", "RuntimeError"), ("DECAYING", "RuntimeError")}
    assert all(r.norad_id in (90010, 90011) and r.message for r in failures)


def test_eclipses_and_area_windows_match_the_single_searches():
    elements = satellites()[:2]
    area = orbweave.Circle((40.0, -75.0), 10.0)
    eclipses = catalog.eclipses(elements, DAY, executor=catalog.SerialExecutor())
    areas = catalog.area_windows(elements, [area], DAY, executor=catalog.process_pool(2),
                                 max_off_nadir_deg=30.0)
    for index, item in enumerate(elements):
        predictor = orbweave.Predictor(item)
        assert [(r.start, r.end) for r in eclipses if r.position == index] == \
               [(w.start, w.end) for w in predictor.illumination_iter(DAY)
                if w.state == orbweave.IlluminationState.Eclipse]
        assert [(r.start, r.end, r.site) for r in areas if r.position == index] == \
               [(w.start, w.end, 0) for w in predictor.aoi_iter(area, DAY, max_off_nadir_deg=30.0)]


def test_satellites_may_be_predictors_tles_or_elements():
    tle = orbweave.Tle(*ISS_TLE)
    given = [tle, tle.to_elements(), orbweave.Predictor.from_tle(tle)]
    records = catalog.passes(given, SITES[:1], DAY, 10.0, executor=catalog.SerialExecutor())
    by_index = [[(r.satellite, r.start) for r in records if r.position == i] for i in range(3)]
    assert by_index[0] == by_index[1] == by_index[2] and by_index[0][0][0] == ISS_TLE[0]


TLE_TEXT = "\n".join(["# a comment", ISS_TLE[0], *ISS_TLE[1:], "", "0 NAMED THREE-LINE", *ISS_TLE[1:],
                      *ISS_TLE[1:], "BROKEN", ISS_TLE[1], ISS_TLE[2][:-1] + "0", "DANGLING"])


def test_tle_reader_takes_mixed_entries_and_reports_bad_ones():
    bad: list[catalog.BadEntry] = []
    read = catalog.read_tle(TLE_TEXT, skip_bad=True, bad=bad)
    assert [e.object_name for e in read] == [ISS_TLE[0], "NAMED THREE-LINE", ""]
    assert [str(b) for b in bad] == [
        "lines 12-13 (BROKEN): TLE parse error: Bad line checksum on TLE line 2 between characters 68 and 69",
        "line 14 (DANGLING): expected a name line followed by two TLE lines"]
    with pytest.raises(catalog.CatalogError, match="^lines 12-13 .BROKEN.: TLE parse error") as raised:
        catalog.read_tle(TLE_TEXT)
    assert raised.value.entry == bad[0]


@pytest.mark.parametrize("text, message", [
    ("[1, {}]", "record 1: expected an OMM object, found a number"),
    ('{"A": 1, "A": 2}', "not valid JSON: duplicate key 'A'"),
    ("[NaN]", "not valid JSON: NaN is not valid JSON"),
    ('"text"', "expected an OMM object or a list of them, found a string"),
])
def test_omm_reader_reports_bad_records(text, message):
    with pytest.raises(catalog.CatalogError) as raised:
        catalog.read_omm(text)
    assert str(raised.value) == message


def test_omm_reader_skips_bad_records_with_their_names():
    bad: list[catalog.BadEntry] = []
    records = [ISS_OMM, dict(ISS_OMM, OBJECT_NAME="NO MOTION", MEAN_MOTION="fast"), ISS_OMM]
    assert len(catalog.read_omm(json.dumps(records), skip_bad=True, bad=bad)) == 2
    assert [(b.position, b.name) for b in bad] == [("record 2", "NO MOTION")]


def test_a_satellite_that_cannot_fly_is_one_failure_without_a_site():
    unflyable = orbweave.Elements(**{**ISS_FIELDS, "right_ascension": float("nan")})
    (failure,) = catalog.passes([unflyable], SITES, DAY, 10.0, executor=catalog.SerialExecutor())
    assert (failure.satellite, failure.site, failure.error) == ("NORAD 25544", None, "ValueError")
