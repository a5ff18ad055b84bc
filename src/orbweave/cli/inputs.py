"""Inputs of the command read from files: element sets (TLE, OMM JSON) and GeoJSON areas."""

from __future__ import annotations

import dataclasses
import datetime as dt
import json
import math
import sys
from importlib import resources
from typing import Any, Callable, Optional

import orbweave
from orbweave import catalog

STDIN = "-"
SAMPLE_LABEL = "sample elements"


class InputError(Exception):
    """Input the command cannot use; the text names the input and what is wrong with it."""


@dataclasses.dataclass(frozen=True)
class Satellite:
    name: str
    norad_id: int
    epoch: dt.datetime
    period: dt.timedelta
    predictor: orbweave.Predictor


def _satellite(elements: orbweave.Elements) -> Satellite:
    """Builds the predictor; raises ValueError or RuntimeError for elements SGP4 cannot fly."""
    predictor = orbweave.Predictor(elements)
    name = (elements.object_name or "").strip() or str(elements.norad_id)
    period = dt.timedelta(days=1.0 / elements.mean_motion)
    return Satellite(name, elements.norad_id, elements.epoch, period, predictor)


def read_text(path: str) -> tuple[str, str]:
    """(label, text) of a file, or of standard input for `-`."""
    if path == STDIN:
        label = "<stdin>"
        if sys.stdin is None:
            raise InputError(f"{label}: standard input is closed")
        data = sys.stdin.buffer.read()
    else:
        label = path
        try:
            with open(path, "rb") as file:
                data = file.read()
        except OSError as error:
            raise InputError(f"{label}: {error.strerror or error}") from None
    try:
        return label, data.decode("utf-8-sig")
    except UnicodeDecodeError as error:
        raise InputError(f"{label}: not UTF-8 text (byte {error.start})") from None


# ---- element sets ----------------------------------------------------------------------

def _satellites(label: str, read: Callable[[str], list[orbweave.Elements]], text: str) -> list[Satellite]:
    try:
        elements = read(text)
    except catalog.CatalogError as error:
        raise InputError(f"{label}: {error}") from None
    if not elements:
        raise InputError(f"{label}: no element sets found")
    satellites = []
    for item in elements:
        try:
            satellites.append(_satellite(item))
        except (ValueError, RuntimeError) as error:
            raise InputError(f"{label}: {catalog.satellite_name(item)}: {error}") from None
    return satellites


def parse_tle(label: str, text: str) -> list[Satellite]:
    """Two-line or three-line element sets, one or many."""
    return _satellites(label, catalog.read_tle, text)


def parse_omm(label: str, text: str) -> list[Satellite]:
    """An OMM JSON object, or a list of them."""
    return _satellites(label, catalog.read_omm, text)


def sample() -> list[Satellite]:
    """The element sets shipped with the package: a few satellites of one epoch."""
    text = (resources.files("orbweave") / "data" / "sample.tle").read_text(encoding="utf-8")
    return parse_tle(SAMPLE_LABEL, text)


# ---- GeoJSON ------------------------------------------------------------------------

def parse_json(label: str, text: str) -> Any:
    try:
        return catalog.strict_json(text)
    except ValueError as error:
        raise InputError(f"{label}: not valid JSON: {error}") from None


def _polygon_rings(label: str, document: Any) -> tuple[Any, int]:
    """The rings of the polygon a GeoJSON document holds, and the number of features it had."""
    if not isinstance(document, dict):
        raise InputError(f"{label}: expected a GeoJSON object, found {catalog.json_type(document)}")
    kind = document.get("type")
    if kind == "Polygon":
        return document.get("coordinates"), 1
    if kind == "Feature":
        return _polygon_rings(label, document.get("geometry"))[0], 1
    if kind == "FeatureCollection":
        features = document.get("features")
        if not isinstance(features, list):
            raise InputError(f"{label}: the FeatureCollection has no list of features")
        for feature in features:
            geometry = feature.get("geometry") if isinstance(feature, dict) else None
            if isinstance(geometry, dict) and geometry.get("type") == "Polygon":
                return geometry.get("coordinates"), len(features)
        raise InputError(f"{label}: the FeatureCollection holds no Polygon")
    raise InputError(f"{label}: expected a GeoJSON Polygon, Feature or FeatureCollection, found type {kind!r}")


def _vertex(label: str, index: int, position: Any) -> tuple[float, float]:
    """(latitude, longitude) of a GeoJSON position, which is longitude first."""
    if (not isinstance(position, list) or len(position) < 2
            or not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in position[:2])
            or not all(math.isfinite(v) for v in position[:2])):
        raise InputError(f"{label}: vertex {index}: expected [longitude, latitude], found {json.dumps(position)}")
    return float(position[1]), float(position[0])


def parse_polygon(label: str, text: str, note: Callable[[str], None]) -> orbweave.Polygon:
    """A GeoJSON Polygon, a Feature holding one, or the first Polygon of a FeatureCollection."""
    rings, features = _polygon_rings(label, parse_json(label, text))
    if not isinstance(rings, list) or not rings or not isinstance(rings[0], list):
        raise InputError(f"{label}: the Polygon has no coordinate rings")
    vertices = [_vertex(label, index, position) for index, position in enumerate(rings[0], 1)]
    if len(vertices) > 1 and vertices[0] == vertices[-1]:
        vertices.pop()
    if features > 1:
        note(f"{label}: using the first polygon of {features} features")
    if len(rings) > 1:
        note(f"{label}: the polygon's {len(rings) - 1} hole(s) are ignored")
    try:
        return orbweave.Polygon(vertices)
    except ValueError as error:
        raise InputError(f"{label}: {str(error).removeprefix('Area of interest error: ')}") from None


def load_satellites(tle_paths: Optional[list[str]], omm_paths: Optional[list[str]]) -> list[Satellite]:
    """Every satellite of the given files, in the order given; none given: the sample."""
    satellites: list[Satellite] = []
    for path in tle_paths or ():
        satellites += parse_tle(*read_text(path))
    for path in omm_paths or ():
        satellites += parse_omm(*read_text(path))
    return satellites
