"""Ctrl-C stops any long computation: each case runs in a child process that is
sent SIGINT once the computation is under way."""
import os
import pathlib
import signal
import subprocess
import sys
import textwrap
import time

import pytest

SETUP = """
import datetime as dt
from orbweave import Elements, GeodeticPoint, Interval, Predictor, Refinement
from conftest import ISS_EPOCH, iss_predictor
site = GeodeticPoint(40.0, -75.0, 50.0)
ages = Interval(dt.datetime(1, 1, 1, tzinfo=dt.timezone.utc), dt.datetime(9999, 1, 1, tzinfo=dt.timezone.utc))
day = Interval(ISS_EPOCH, ISS_EPOCH + dt.timedelta(days=1))
never_converges = iss_predictor().with_refinement(Refinement(time_tolerance=0.0, max_iter=2**64 - 1))
geostationary = Predictor(Elements(norad_id=1, epoch=ISS_EPOCH, mean_motion=1.0027, eccentricity=0.0,
                                   inclination=0.0, right_ascension=0.0, argument_of_perigee=0.0, mean_anomaly=0.0,
                                   mean_motion_dot=0.0))
"""

CASES = {
    "root finder without end": "next(never_converges.transits_iter(site, day, 10.0))",
    "root finder on nan tolerance": "next(iss_predictor().with_refinement(Refinement(time_tolerance=float('nan'), max_iter=2**64 - 1))"
                                    ".transits_iter(site, day, 10.0))",
    "window without end": "geostationary.detect_transit(ISS_EPOCH, site, -90.0, max_transit_duration=dt.timedelta.max)",
    "apsides over the ages": "list(iss_predictor().apsis_iter(ages))",
    "peak over the ages": "iss_predictor().max_elevation(site, ages, scan_step=dt.timedelta(seconds=1))",
    "sampled iterator": "list(iss_predictor().prediction_iter(ages, dt.timedelta(seconds=1)))",
}

# After the interrupt, the same illumination iterator carries on where it stopped:
# its windows still tile the interval.
RESUMES = """
it, seen = iss_predictor().illumination_iter(ages), []
try:
    for window in it:
        seen.append(window)
finally:
    following = next(it)
    assert following.start == seen[-1].end and following.state != seen[-1].state, (seen[-1], following)
"""


def run_interrupted(code: str) -> tuple[str, float]:
    child = textwrap.dedent(f"""
        import sys, time
        sys.path.insert(0, {str(pathlib.Path(__file__).parent)!r})
        {textwrap.indent(SETUP, '        ').strip()}
        print("ready", flush=True)
        try:
            exec(compile({code!r}, "<case>", "exec"))  # exec of a string would mark the interrupt unhandled
        except KeyboardInterrupt:
            print("interrupted", flush=True)
        """)
    process = subprocess.Popen([sys.executable, "-c", child], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True, env=os.environ.copy())
    assert process.stdout.readline() == "ready\n", process.stderr.read()
    time.sleep(0.5)
    process.send_signal(signal.SIGINT)
    sent = time.monotonic()
    try:
        out, err = process.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        pytest.fail("the computation ignored SIGINT")
    assert process.returncode == 0 and out == "interrupted\n", err
    return out, time.monotonic() - sent


@pytest.mark.parametrize("code", list(CASES.values()) + [RESUMES], ids=list(CASES) + ["iterator resumes"])
def test_sigint_stops_the_computation_within_a_second(code):
    _, delay = run_interrupted(code)
    assert delay < 1.0
