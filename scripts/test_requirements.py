"""Prints the package's dependencies and its `test` extra, one per line, for the
test scripts that install the package without pip resolving it (a wheel installed
with --no-deps, a sanitized build from source), so that the list lives only in
pyproject.toml. Needs Python 3.11 or later (tomllib)."""
import pathlib
import tomllib

project = tomllib.loads((pathlib.Path(__file__).parents[1] / "pyproject.toml").read_text())["project"]
print("\n".join(project.get("dependencies", []) + project["optional-dependencies"]["test"]))
