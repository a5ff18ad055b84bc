"""Pictures of the command's results, drawn with matplotlib (the `plot` extra).

Imported only for --plot; matplotlib itself is imported inside the functions, so
that the module can be inspected where matplotlib is absent.
"""

from __future__ import annotations

import datetime as dt
import math
import pathlib
from typing import TYPE_CHECKING, Iterable, Sequence, cast

import orbweave

from .inputs import InputError
from .output import clock
from .searches import Pass, TrackPoint, azimuth

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure
    from matplotlib.projections.polar import PolarAxes

EARTH_RADIUS_KM = 6371.0088
INSTALL = "pip install 'orbweave[plot]'"


def check(path: str) -> None:
    """Fails unless matplotlib is there and can write `path` in the format its suffix names."""
    try:
        from matplotlib.figure import Figure
    except ImportError:
        raise InputError(f"--plot needs matplotlib, which is not installed: {INSTALL}") from None
    target = pathlib.Path(path)
    formats = Figure().canvas.get_supported_filetypes()
    suffix = target.suffix.lstrip(".").lower()
    if suffix not in formats:
        raise InputError(f"--plot: {path}: name a picture file ending in one of "
                         f"{', '.join('.' + name for name in sorted(formats))}")
    if not target.parent.is_dir():
        raise InputError(f"--plot: {path}: the folder {target.parent} does not exist")


def _save(figure: Figure, path: str) -> None:
    try:
        figure.savefig(path, dpi=100, bbox_inches="tight")
    except OSError as error:
        raise InputError(f"--plot: {path}: {error.strerror or error}") from None


# ---- sky plot -----------------------------------------------------------------------

def _sky_curve(item: Pass, site: orbweave.GeodeticPoint) -> tuple[list[float], list[float]]:
    """Azimuths (radians) and zenith distances (degrees) along the pass, ends included."""
    predictor = item.satellite.predictor
    step = max((item.los - item.aos) / 200, dt.timedelta(seconds=1))
    samples = [observation for _, observation in
               predictor.observation_iter(site, orbweave.Interval(item.aos, item.los), step)]
    samples.append(predictor.observe_at(item.los, site))
    return ([math.radians(azimuth(o)) for o in samples], [90.0 - o.elevation_deg for o in samples])


def sky(path: str, passes: Sequence[Pass], site: orbweave.GeodeticPoint, mask_deg: float, title: str) -> None:
    """A polar sky plot: azimuth around from north, clockwise; elevation inwards to the zenith."""
    import matplotlib
    from matplotlib.figure import Figure

    figure = Figure(figsize=(10.5, 7.5))
    axes = cast("PolarAxes", figure.add_subplot(projection="polar"))
    axes.set_theta_zero_location("N")
    axes.set_theta_direction(-1)
    axes.set_rlim(0.0, 90.0)
    axes.set_rticks([30, 60], labels=["60°", "30°"])
    axes.set_rlabel_position(22.5)
    axes.set_xticks([math.radians(a) for a in range(0, 360, 45)], labels=["N", "NE", "E", "SE", "S", "SW", "W", "NW"])
    circle = [math.radians(a) for a in range(361)]
    axes.plot(circle, [90.0 - mask_deg] * len(circle), color="0.5", linestyle="--", linewidth=1,
              label=f"mask {mask_deg:g}°")
    colours = [matplotlib.colormaps["tab20"](i) for i in (0, 6, 4, 2, 8, 10, 12, 16, 18, 14, 1, 7, 5, 3, 9, 11, 13, 17, 19, 15)]
    for number, item in enumerate(passes, 1):
        azimuths, distances = _sky_curve(item, site)
        colour = colours[(number - 1) % len(colours)]
        axes.plot(azimuths, distances, color=colour, linewidth=1.6,
                  label=f"{number}  {item.satellite.name}  {clock(item.aos)[5:16]}, {item.max_elevation_deg:.0f}°")
        axes.plot(azimuths[:1], distances[:1], marker="o", markersize=4, color=colour)
        axes.annotate("", xy=(azimuths[-1], distances[-1]), xytext=(azimuths[-2], distances[-2]),
                      arrowprops={"arrowstyle": "-|>", "color": colour, "lw": 1.2})
        peak = max(range(len(distances)), key=lambda i: -distances[i])
        axes.annotate(str(number), (azimuths[peak], distances[peak]), xytext=(4, 4), textcoords="offset points",
                      fontsize=9, fontweight="bold", color=colour)
    axes.set_title(title, fontsize=10, pad=24)
    columns = 1 + len(passes) // 32
    axes.legend(loc="upper left", bbox_to_anchor=(1.08, 1.0), fontsize=8, ncol=columns, frameon=False,
                title="pass  satellite  AoS (UTC), peak", title_fontsize=8)
    if not passes:
        axes.text(0.5, -0.1, "no passes", transform=axes.transAxes, ha="center")
    _save(figure, path)


# ---- ground track -------------------------------------------------------------------

def _wrapped(longitudes: Iterable[float]) -> list[float]:
    """Longitudes in [-180, 180)."""
    return [(lon + 180.0) % 360.0 - 180.0 for lon in longitudes]


def _broken_at_antimeridian(latitudes: Sequence[float], longitudes: Sequence[float]) -> tuple[list[float], list[float]]:
    """The line with a gap wherever it jumps across the map's edge."""
    lats: list[float] = []
    lons: list[float] = []
    for index, (lat, lon) in enumerate(zip(latitudes, longitudes)):
        if index and abs(lon - longitudes[index - 1]) > 180.0:
            lats.append(math.nan)
            lons.append(math.nan)
        lats.append(lat)
        lons.append(lon)
    return lats, lons


def visibility_circle(site: orbweave.GeodeticPoint, altitude_km: float, mask_deg: float,
                      ) -> tuple[list[float], list[float]]:
    """Latitudes and longitudes of the sub-satellite points where a satellite at that
    altitude stands at the mask elevation over the site (a spherical Earth), as a
    closed ring with continuous longitudes (which do not come back to the start when
    the ring goes around a pole)."""
    mask = math.radians(mask_deg)
    radius = math.acos(EARTH_RADIUS_KM / (EARTH_RADIUS_KM + altitude_km) * math.cos(mask)) - mask
    lat0, lon0 = math.radians(site.latitude_deg), math.radians(site.longitude_deg)
    lats: list[float] = []
    lons: list[float] = []
    for degrees in range(0, 361, 2):
        bearing = math.radians(degrees)
        lat = math.asin(math.sin(lat0) * math.cos(radius) + math.cos(lat0) * math.sin(radius) * math.cos(bearing))
        lon = math.degrees(lon0 + math.atan2(math.sin(bearing) * math.sin(radius) * math.cos(lat0),
                                             math.cos(radius) - math.sin(lat0) * math.sin(lat)))
        lons.append(lon if not lons else lon + 360.0 * round((lons[-1] - lon) / 360.0))
        lats.append(math.degrees(lat))
    return lats, lons


def _area_within(lats: list[float], lons: list[float], site: orbweave.GeodeticPoint,
                 ) -> tuple[list[float], list[float]]:
    """The outline of the region inside a visibility ring: a ring around a pole is closed
    along the map's top or bottom edge."""
    if abs(lons[-1] - lons[0]) < 180.0:
        return lats, lons
    pole = math.copysign(90.0, site.latitude_deg)
    return lats + [pole, pole], lons + [lons[-1], lons[0]]


def _map_axes(figure: Figure) -> Axes:
    axes = figure.add_subplot()
    axes.set_xlim(-180.0, 180.0)
    axes.set_ylim(-90.0, 90.0)
    axes.set_aspect("equal")
    axes.set_xticks(range(-180, 181, 30))
    axes.set_yticks(range(-90, 91, 30))
    axes.set_xlabel("longitude (°)")
    axes.set_ylabel("latitude (°)")
    axes.set_facecolor("#eef4fa")
    axes.grid(color="white", linewidth=1.0)
    return axes


def ground_track(path: str, points: Sequence[TrackPoint], site: orbweave.GeodeticPoint, mask_deg: float,
                 title: str) -> None:
    """The track on latitude/longitude axes, with the site and, for each satellite, the
    circle within which it stands above the mask."""
    from matplotlib.figure import Figure

    figure = Figure(figsize=(11.0, 6.2))
    axes = _map_axes(figure)
    by_satellite: dict[int, list[TrackPoint]] = {}
    for point in points:
        by_satellite.setdefault(id(point.satellite), []).append(point)
    for index, track in enumerate(by_satellite.values()):
        colour = f"C{index % 10}"
        name = track[0].satellite.name
        lats = [p.point.latitude_deg for p in track]
        lons = _wrapped(p.point.longitude_deg for p in track)
        axes.plot(*reversed(_broken_at_antimeridian(lats, lons)), color=colour, linewidth=1.4, label=name)
        axes.plot(lons[:1], lats[:1], marker="o", markersize=5, color=colour)
        altitude_km = sum(p.point.altitude for p in track) / len(track) / 1000.0
        lats, lons = visibility_circle(site, altitude_km, mask_deg)
        fill_lats, fill_lons = _area_within(lats, lons, site)
        for shift in (-360.0, 0.0, 360.0):  # the ring's parts beyond the map's edge show on its other side
            axes.fill([lon + shift for lon in fill_lons], fill_lats, color=colour, alpha=0.08, linewidth=0)
            axes.plot([lon + shift for lon in lons], lats, color=colour, linewidth=1.0, linestyle="--",
                      label=f"{name} above {mask_deg:g}°" if shift == 0.0 else None)
    site_longitude = _wrapped([site.longitude_deg])[0]
    axes.plot([site_longitude], [site.latitude_deg], marker="*", markersize=13, color="black",
              linestyle="none", label="site")
    axes.set_title(title, fontsize=10)
    axes.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize=8, frameon=False)
    _save(figure, path)
