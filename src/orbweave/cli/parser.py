"""The command line: subcommands, their options and their help."""

from __future__ import annotations

import argparse
import re
from typing import NoReturn, Sequence

from . import commands, values
from .inputs import InputError

DESCRIPTION = """\
Satellite passes, ground tracks, eclipses and area windows from TLE or OMM elements.

Without --tle or --omm every command runs on a small sample element set (the ISS,
a sun-synchronous and a geostationary satellite of one epoch) over Greenwich.
Times are UTC."""

EXAMPLES = """\
examples:
  orbweave passes
  orbweave passes --tle stations.tle --site 48.85,2.35,35 --days 3 --mask 15
  orbweave passes --omm gp.json --format json > passes.json
  orbweave track --tle iss.tle --step 30s --plot track.png > track.csv
  orbweave eclipses --tle geo.tle --start 2024-09-22 --days 2
  orbweave aoi --tle sentinel.tle --polygon area.geojson --off-nadir 20
  curl -s URL | orbweave passes --tle -"""

# Options whose value may start with a minus sign (a southern latitude, a western
# longitude): argparse would take such a value for an option of its own.
_SIGNED_VALUES = ("--site", "--circle", "--box", "--mask", "--days", "--off-nadir")
_NEGATIVE = re.compile(r"-[\d.]")


class _Parser(argparse.ArgumentParser):
    """Reports a usage error as one line, through the command's own error path."""

    def error(self, message: str) -> NoReturn:
        if message.startswith("argument "):
            raise InputError(message.removeprefix("argument "))
        raise InputError(f"{message} (see '{self.prog} --help')")


def _join_signed_values(argv: Sequence[str]) -> list[str]:
    """`--site -33.9,18.4` as `--site=-33.9,18.4`."""
    joined: list[str] = []
    for token in argv:
        if joined and joined[-1] in _SIGNED_VALUES and _NEGATIVE.match(token):
            joined[-1] = f"{joined[-1]}={token}"
        else:
            joined.append(token)
    return joined


def _inputs() -> _Parser:
    parser = _Parser(add_help=False)
    group = parser.add_argument_group("elements (default: the sample set)")
    group.add_argument("--tle", metavar="FILE", action="append",
                       help="two-line or three-line element sets, one or many; - for standard input; repeatable")
    group.add_argument("--omm", metavar="FILE", action="append",
                       help="OMM JSON: one object or a list of them; - for standard input; repeatable")
    return parser


def _time(default_days: str = "1") -> _Parser:
    parser = _Parser(add_help=False)
    group = parser.add_argument_group("time")
    group.add_argument("--start", type=values.instant, metavar="ISO",
                       help="start, ISO 8601 (UTC unless an offset is given) or 'now'; default: now when the "
                            "newest elements are less than 14 days old, otherwise their epoch")
    group.add_argument("--days", type=values.days, metavar="DAYS",
                       default=None if default_days == "one orbit" else float(default_days),
                       help=f"length of the interval in days (default: {default_days})")
    return parser


def _site(purpose: str = "") -> _Parser:
    parser = _Parser(add_help=False)
    group = parser.add_argument_group("site")
    group.add_argument("--site", type=values.site, metavar="LAT,LON[,ALT_M]",
                       help=f"observer: degrees north, degrees east, metres above the ellipsoid{purpose} "
                            "(default: Greenwich, 51.4769,-0.0005,46)")
    group.add_argument("--mask", type=values.mask, default=10.0, metavar="DEG",
                       help="minimum elevation in degrees (default: 10)")
    return parser


def _format() -> _Parser:
    parser = _Parser(add_help=False)
    parser.add_argument("--format", choices=("table", "csv", "json"), default="table",
                        help="an aligned table (default), CSV, or JSON: a list with one record per row; "
                             "times are ISO 8601 UTC")
    return parser


def _jobs() -> _Parser:
    parser = _Parser(add_help=False)
    parser.add_argument("--jobs", type=values.jobs, default=1, metavar="N",
                        help="worker processes sharing the satellites (default: 1, this process)")
    return parser


def _plot(what: str) -> _Parser:
    parser = _Parser(add_help=False)
    parser.add_argument("--plot", metavar="FILE",
                        help=f"also draw {what} to FILE (.png, .svg, .pdf); needs matplotlib: "
                             "pip install 'orbweave[plot]'")
    return parser


def build() -> argparse.ArgumentParser:
    parser = _Parser(prog="orbweave", description=DESCRIPTION, epilog=EXAMPLES,
                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", action="version", version=f"%(prog)s {_version()}")
    sub = parser.add_subparsers(title="commands", dest="command", metavar="COMMAND", required=True)

    def command(name: str, run, summary: str, details: str,  # type: ignore[no-untyped-def]
                parents: list[_Parser]):
        made = sub.add_parser(name, help=summary, description=f"{summary}\n\n{details}".strip(), parents=parents,
                              formatter_class=argparse.RawDescriptionHelpFormatter)
        made.set_defaults(run=run)
        return made

    command("passes", commands.passes, "Passes of the satellites over a site.", """\
One row per pass, in time order: satellite, AoS, culmination and its elevation,
azimuths at AoS and LoS, LoS, duration, and whether the satellite is sunlit at
culmination. A pass in progress at the start or the end is shown whole; one that
lasts more than an orbit beyond them (a satellite that never sets) is cut to the
interval.""",
            [_inputs(), _site(), _time(), _format(), _jobs(), _plot("a polar sky plot of the passes")])

    track = command("track", commands.track, "The ground track, as CSV.", """\
Time, latitude and longitude (degrees) and altitude (km) of the sub-satellite point
at every step, for each satellite: by default over one orbit.""",
                    [_inputs(), _time("one orbit"), _site(" (for --plot)"),
                     _plot("the track with the site and its visibility circle at the mask")])
    track.add_argument("--step", type=values.duration, default=values.duration("60"), metavar="STEP",
                       help="time between points: seconds, or a number with s, m or h (default: 60)")

    eclipses = command("eclipses", commands.eclipses, "Sunlit and eclipse windows.", """\
The interval cut into alternating sunlit and eclipse windows (a cylindrical Earth
shadow), for each satellite.""",
                       [_inputs(), _time(), _format(), _jobs()])
    eclipses.add_argument("--eclipses-only", action="store_true", help="list the eclipse windows only")

    aoi = command("aoi", commands.aoi, "Windows in which an area is within reach.", """\
The windows, in time order, in which an area is within the field of regard of each
satellite's payload (by default: under the ground track). A window in progress at
the start or the end is shown whole; one that lasts more than an orbit beyond them
is cut to the interval.""",
                  [_inputs(), _time(), _format(), _jobs()])
    area = aoi.add_argument_group("area (one of)").add_mutually_exclusive_group(required=True)
    area.add_argument("--circle", type=values.circle, metavar="LAT,LON,RADIUS_DEG",
                      help="a circle: centre in degrees, radius in degrees of arc")
    area.add_argument("--box", type=values.box, metavar="SOUTH,WEST,NORTH,EAST",
                      help="a latitude/longitude box, running east from WEST to EAST")
    area.add_argument("--polygon", metavar="FILE",
                      help="a GeoJSON Polygon, a Feature, or the first Polygon of a FeatureCollection "
                           "(longitude first, as GeoJSON has it)")
    aoi.add_argument("--off-nadir", type=values.off_nadir, default=0.0, metavar="DEG",
                     help="half-angle of the payload's field of regard in degrees (default: 0, the "
                          "sub-satellite point itself)")
    aoi.add_argument("--coverage", choices=("any", "full"), default="any",
                     help="any part of the area, or all of it, within reach (default: any)")

    command("propagate", commands.propagate, "The TEME state after each satellite's epoch.",
            "Position and velocity every 30 minutes over the first three hours after the epoch.", [_inputs()])
    return parser


def _version() -> str:
    from importlib import metadata
    try:
        return metadata.version("orbweave")
    except metadata.PackageNotFoundError:
        return "unknown"


def parse(argv: Sequence[str]) -> argparse.Namespace:
    return build().parse_args(_join_signed_values(argv))
