"""The `orbweave` command, run as a user runs it: in a child process, its output parsed
back and checked against the library's own results."""
import csv
import datetime as dt
import io
import json
import os
import signal
import subprocess
import sys
import time
from importlib import resources

import pytest

import orbweave
from conftest import ISS_OMM, ISS_TLE, UTC

SITE = orbweave.GeodeticPoint(48.85, 2.35, 35.0)
SITE_ARG = "--site=48.85,2.35,35"
EQUINOX = dt.datetime(2024, 3, 20, 12, tzinfo=UTC)  # the sample elements' epoch
DAY = orbweave.Interval(EQUINOX, EQUINOX + dt.timedelta(days=1))


def run(*args: str, stdin: str = "", cwd=None) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-m", "orbweave", *args], input=stdin, capture_output=True, text=True,
                          cwd=cwd, env=os.environ.copy(), timeout=120, check=False)


def records(*args: str) -> list[dict]:
    done = run(*args, "--format", "json")
    assert done.returncode == 0 and "Traceback" not in done.stderr, done.stderr
    return json.loads(done.stdout)


def sample() -> dict[str, orbweave.Predictor]:
    lines = (resources.files("orbweave") / "data" / "sample.tle").read_text().splitlines()
    return {name: orbweave.Predictor.from_tle(orbweave.Tle(name, one, two))
            for name, one, two in zip(lines[0::3], lines[1::3], lines[2::3])}


def when(text: str) -> dt.datetime:
    return dt.datetime.fromisoformat(text.replace("Z", "+00:00"))


def close(text: str, expected: dt.datetime) -> bool:
    """The same event: the command searches a wider interval than the library call
    below, so its root finder may stop elsewhere within its 1 ms tolerance; the
    output is rounded to the millisecond besides."""
    return abs(when(text) - expected) <= dt.timedelta(microseconds=2500)


def test_passes_agree_with_the_library_and_csv_matches_json():
    found = records("passes", SITE_ARG, "--start", EQUINOX.isoformat())
    satellites = sample()
    assert {r["satellite"] for r in found} == set(satellites) and found == sorted(found, key=lambda r: r["aos"])
    for name in ("ISS (ZARYA)", "SENTINEL-2A"):
        predictor = satellites[name]
        mine = [r for r in found if r["satellite"] == name]
        library = list(predictor.transits_iter(SITE, DAY, 10.0, skip_leading_partial=False))
        assert len(mine) == len(library) > 0
        for record, transit in zip(mine, library):
            assert close(record["aos"], transit.start) and close(record["los"], transit.end)
            peak_time, peak = predictor.max_elevation(SITE, transit)
            assert record["max_elevation_deg"] == pytest.approx(peak.elevation_deg, abs=1e-3)
            assert close(record["culmination"], peak_time)
            assert record["aos_azimuth_deg"] == pytest.approx(predictor.observe_at(transit.start, SITE).azimuth_deg
                                                              % 360, abs=1e-3)
            assert record["sunlit"] == (predictor.illumination_state(peak_time) == orbweave.IlluminationState.Sunlit)
    # The geostationary satellite never sets: one pass, clamped to the interval.
    (geo,) = [r for r in found if r["satellite"] == "METEOSAT-11"]
    assert (when(geo["aos"]), when(geo["los"])) == (DAY.start, DAY.end)
    rows = list(csv.DictReader(io.StringIO(run("passes", SITE_ARG, "--start", EQUINOX.isoformat(),
                                               "--format", "csv").stdout)))
    assert [(r["satellite"], r["aos"], float(r["max_elevation_deg"]), r["sunlit"]) for r in rows] == \
           [(r["satellite"], r["aos"], r["max_elevation_deg"], str(r["sunlit"]).lower()) for r in found]


def test_the_table_has_a_row_per_pass():
    done = run("passes", SITE_ARG, "--start", EQUINOX.isoformat())
    assert done.returncode == 0
    assert sum("ISS (ZARYA)" in line for line in done.stdout.splitlines()) == \
           len(list(sample()["ISS (ZARYA)"].transits_iter(SITE, DAY, 10.0, skip_leading_partial=False)))


def test_eclipses_tile_the_interval_and_a_geostationary_equinox_eclipse_is_found():
    found = records("eclipses", "--start", "2024-03-21", "--days", "2")
    geo = [r for r in found if r["satellite"] == "METEOSAT-11"]
    assert when(geo[0]["start"]) == dt.datetime(2024, 3, 21, tzinfo=UTC)
    assert all(a["end"] == b["start"] and a["state"] != b["state"] for a, b in zip(geo, geo[1:]))
    longest = max(r["duration_s"] for r in geo if r["state"] == "eclipse")
    assert 65 * 60 < longest < 75 * 60  # longer than the library's one-hour default cap
    iss = [r for r in found if r["satellite"] == "ISS (ZARYA)"]
    interval = orbweave.Interval(dt.datetime(2024, 3, 21, tzinfo=UTC), dt.datetime(2024, 3, 23, tzinfo=UTC))
    library = list(sample()["ISS (ZARYA)"].illumination_iter(interval))
    assert len(iss) == len(library) > 0
    for record, window in zip(iss, library):
        assert close(record["start"], window.start) and close(record["end"], window.end)
        assert record["state"] == ("eclipse" if window.state == orbweave.IlluminationState.Eclipse else "sunlit")


def test_track_rows_are_the_library_ground_track():
    done = run("track", "--start", EQUINOX.isoformat(), "--days", "0.01", "--step", "30s")
    rows = [r for r in csv.DictReader(io.StringIO(done.stdout)) if r["satellite"] == "ISS (ZARYA)"]
    interval = orbweave.Interval(EQUINOX, EQUINOX + dt.timedelta(days=0.01))
    library = list(sample()["ISS (ZARYA)"].ground_track_iter(interval, dt.timedelta(seconds=30)))
    assert len(rows) == len(library) == 29
    for row, (time_, point) in zip(rows, library):
        assert when(row["time"]) == time_
        assert float(row["latitude_deg"]) == pytest.approx(point.latitude_deg, abs=1e-6)
        assert float(row["altitude_km"]) == pytest.approx(point.altitude / 1000, abs=1e-4)


@pytest.mark.parametrize("area", ["--circle=48,2,5", "--box=40,-5,55,10", "polygon"])
def test_area_windows_agree_with_the_library(area, tmp_path):
    ring = [(40.0, -5.0), (40.0, 10.0), (55.0, 10.0), (55.0, -5.0)]
    shapes = {"--circle=48,2,5": orbweave.Circle((48.0, 2.0), 5.0),
              "--box=40,-5,55,10": orbweave.Rectangle((40.0, -5.0), (55.0, 10.0)),
              "polygon": orbweave.Polygon(ring)}
    arguments = [area]
    if area == "polygon":
        path = tmp_path / "area.geojson"
        coordinates = [[lon, lat] for lat, lon in ring + ring[:1]]
        path.write_text(json.dumps({"type": "FeatureCollection", "features": [
            {"type": "Feature", "geometry": {"type": "Polygon", "coordinates": [coordinates]}}]}))
        arguments = ["--polygon", str(path)]
    found = [r for r in records("aoi", *arguments, "--off-nadir", "20", "--start", EQUINOX.isoformat())
             if r["satellite"] == "SENTINEL-2A"]
    library = list(sample()["SENTINEL-2A"].aoi_iter(shapes[area], DAY, max_off_nadir_deg=20.0,
                                                      skip_leading_partial=False))
    assert len(found) == len(library) > 0
    assert all(close(r["start"], w.start) and close(r["end"], w.end) for r, w in zip(found, library))


def test_elements_from_standard_input_and_omm_files(tmp_path):
    omm = tmp_path / "iss.json"
    omm.write_text(json.dumps([ISS_OMM]))
    start = ["--start", "2020-07-12T02:00:00Z", SITE_ARG]
    done = run("passes", "--tle", "-", *start, "--format", "json", stdin="\n".join(ISS_TLE) + "\n")
    from_omm = records("passes", "--omm", str(omm), *start)
    assert done.returncode == 0 and len(json.loads(done.stdout)) == len(from_omm) > 0


def test_propagate_prints_the_state_at_epoch():
    done = run("propagate")
    predictor = sample()["ISS (ZARYA)"]
    x_km = predictor.propagate(predictor.epoch).position.x / 1000
    assert f"{x_km:.3f}" in done.stdout.splitlines()[2]


@pytest.mark.parametrize("args, names", [
    (["passes", "--tle", "/no/such/file"], "/no/such/file"),
    (["passes", "--tle", "-"], "<stdin>: lines 2-3 (NOT A TLE): TLE parse error"),
    (["passes", "--omm", "-"], "<stdin>: not valid JSON"),
    (["passes", "--site", "91,0"], "--site: latitude 91"),
    (["passes", "--site", "48,x"], "--site: longitude 'x'"),
    (["passes", "--days", "nan"], "--days"),
    (["passes", "--start", "yesterday"], "--start"),
    (["passes", "--bogus"], "--bogus"),
    (["passes", "--format", "xml"], "--format"),
    (["track", "--step", "0"], "--step"),
    (["aoi"], "--circle"),
    (["aoi", "--box", "10,0,5,10"], "--box"),
    (["aoi", "--polygon", "-"], "<stdin>"),
    (["passes", "--plot", "/no/such/folder/sky.png"], "--plot"),
    (["nonsense"], "nonsense"),
])
def test_bad_input_is_one_line_and_status_2(args, names):
    stdin = "NOT A TLE\n1 25544U\n2 25544\n" if "--tle" in args else "{"
    done = run(*args, stdin=stdin)
    assert done.returncode == 2 and done.stdout == ""
    assert done.stderr.count("\n") == 1 and names in done.stderr and "Traceback" not in done.stderr, done.stderr


def test_a_malformed_tle_names_its_lines_and_columns(tmp_path):
    path = tmp_path / "bad.tle"
    name, one, two = ISS_TLE
    path.write_text(f"{name}\n{one}\n{two[:-1]}0\n")
    done = run("passes", "--tle", str(path))
    assert done.returncode == 2
    assert done.stderr == f"orbweave: {path}: lines 2-3 ({name}): TLE parse error: Bad line checksum on TLE line 2 " \
                          "between characters 68 and 69\n"


def test_a_failed_search_names_the_satellite_and_the_others_go_on(tmp_path):
    path = tmp_path / "mixed.json"
    omm = dict(ISS_OMM, OBJECT_NAME="DECAYING", NORAD_CAT_ID=99999, BSTAR=0.5, MEAN_MOTION=16.2)
    path.write_text(json.dumps([omm, ISS_OMM]))
    done = run("passes", "--omm", str(path), "--start", ISS_OMM["EPOCH"], "--days", "2", "--format", "json")
    assert done.returncode == 1 and "Traceback" not in done.stderr
    assert "orbweave: DECAYING: SGP4 propagation error" in done.stderr
    assert ISS_OMM["OBJECT_NAME"] in {r["satellite"] for r in json.loads(done.stdout)}


def test_no_progress_bar_when_piped():
    done = run("passes", "--days", "3")
    assert "\r" not in done.stderr and "\x1b" not in done.stderr and "━" not in done.stderr
    assert all(line.startswith("orbweave: ") for line in done.stderr.splitlines())


@pytest.mark.parametrize("command", ["passes", "track", "eclipses", "aoi", "propagate"])
def test_every_subcommand_has_help(command):
    done = run(command, "--help")
    assert done.returncode == 0 and done.stdout.startswith("usage: orbweave " + command)


@pytest.mark.parametrize("jobs", ["1", "2"])
def test_ctrl_c_ends_the_command_with_status_130(jobs, tmp_path):
    many = tmp_path / "many.tle"
    many.write_text((resources.files("orbweave") / "data" / "sample.tle").read_text() * 3)
    process = subprocess.Popen([sys.executable, "-m", "orbweave", "passes", "--tle", str(many), "--days", "30000",
                                "--jobs", jobs], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                               env=os.environ.copy(), start_new_session=True)
    time.sleep(2.0)
    os.killpg(process.pid, signal.SIGINT)  # as a terminal sends it: to every process of the group
    try:
        _, err = process.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        pytest.fail("the command ignored SIGINT")
    assert process.returncode == 130 and "Traceback" not in err, err


def test_worker_processes_give_the_same_output():
    single, double = (run("passes", "--days", "2", "--format", "json", "--jobs", jobs) for jobs in ("1", "2"))
    assert single.returncode == double.returncode == 0 and single.stdout == double.stdout


@pytest.mark.parametrize("command", [["passes"], ["track", "--site", "48.85,2.35"]])
def test_plots_are_written(command, tmp_path):
    pytest.importorskip("matplotlib")
    path = tmp_path / "picture.png"
    done = run(*command, "--plot", str(path))
    assert done.returncode == 0, done.stderr
    assert path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
