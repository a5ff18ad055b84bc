"""The module frame: registry order, shared class properties, re-import, the installed package."""
import importlib.machinery
import importlib.metadata
import importlib.util
import json
import pathlib
import subprocess
import sys
import weakref

import pytest

import orbweave
from orbweave import _orbweave

from conftest import REPOSITORY, utc

FINAL_ORDER = [
    "Classification", "Elements", "Tle", "LatLon", "GeodeticPoint", "Vec3", "StateVectorTeme",
    "StateVectorEcef", "StateVectorEnu", "StateVectorLvlh", "Interval", "Observation", "Pointing",
    "Transit", "ApsisEvent", "Apsis", "IlluminationState", "Illumination", "FillRule", "Polygon",
    "Rectangle", "Circle", "Coverage", "AoiWindow", "Predictor", "PredictionIter", "ApsisIter",
    "IlluminationIter", "TransitIter", "ObservationIter", "GroundTrackIter", "AoiIter", "Refinement",
]

CLASSES = [getattr(_orbweave, name) for name in _orbweave.__all__]


def test_all_follows_the_registry_order():
    names = _orbweave.__all__
    assert names == FINAL_ORDER
    assert orbweave.__all__ == names
    for name in names:
        assert getattr(orbweave, name) is getattr(_orbweave, name)


def test_module_has_no_functions_and_an_empty_doc():
    assert _orbweave.__doc__ == ""
    public = {n for n in dir(_orbweave) if not n.startswith("_")}
    assert public == set(_orbweave.__all__)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_shared_class_properties(cls):
    assert cls.__module__ == "orbweave._orbweave"
    assert cls.__qualname__ == cls.__name__
    assert cls.__base__ is object
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_instances_take_no_attributes_and_no_weak_references():
    value = orbweave.Interval(utc(2024, 1, 1), utc(2024, 1, 2))
    with pytest.raises(AttributeError):
        value.extra = 1
    with pytest.raises(AttributeError):
        value.start = utc(2024, 1, 1)
    with pytest.raises(TypeError):
        weakref.ref(value)


def test_text_signature_comes_from_the_class_doc():
    assert orbweave.Interval.__text_signature__ == "(start, end)"
    assert orbweave.Interval.__doc__ == "A concrete `[start, end)` interval."
    assert orbweave.Interval.intersection.__text_signature__ == "($self, other)"


def test_rerunning_the_execution_step_adds_the_same_types():
    spec = importlib.util.spec_from_file_location("orbweave._orbweave", _orbweave.__file__)
    fresh = importlib.util.module_from_spec(spec)
    assert fresh is not _orbweave
    spec.loader.exec_module(fresh)
    assert fresh.__all__ == _orbweave.__all__
    for name in _orbweave.__all__:
        assert getattr(fresh, name) is getattr(_orbweave, name)
    made = fresh.Interval(utc(2024, 1, 1), utc(2024, 1, 2))
    assert isinstance(made, orbweave.Interval)


def test_the_repository_root_imports_the_installed_package():
    """Python started in the repository root puts it first on the path: nothing there may shadow the package."""
    distribution = importlib.metadata.distribution("orbweave")
    if json.loads(distribution.read_text("direct_url.json") or "{}").get("dir_info", {}).get("editable"):
        pytest.skip("orbweave is installed in editable mode, from this tree")
    run = subprocess.run([sys.executable, "-c", "import orbweave, orbweave._orbweave as m; print(orbweave.__file__); "
                          "print(m.__file__)"], cwd=REPOSITORY, capture_output=True, text=True, check=False)
    assert run.returncode == 0, run.stderr
    imported = {pathlib.Path(line).resolve() for line in run.stdout.splitlines()}
    installed = {pathlib.Path(distribution.locate_file(f)).resolve() for f in distribution.files or ()}
    assert len(imported) == 2 and imported <= installed, f"imported {imported}, not the installed files"
    command = subprocess.run([sys.executable, "-m", "orbweave", "--help"], cwd=REPOSITORY, capture_output=True,
                             text=True, check=False)
    assert command.returncode == 0 and command.stdout.startswith("usage: orbweave"), command.stderr
