"""The type stubs describe exactly what the module exposes."""
import ast
import importlib.util
import pathlib
import subprocess
import sys
import types
import typing

import pytest

from orbweave import _orbweave

# The wheel installs the stub next to the compiled module.
STUB = pathlib.Path(_orbweave.__file__).with_name("_orbweave.pyi")

# Constructor notes written for readers of the stubs alone: the module's class
# documentation does not repeat them.
STUB_ONLY_CONSTRUCTOR_NOTES = {"Refinement"}


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None, reason="mypy is not installed")
def test_stubs_match_the_module():
    allowlist = pathlib.Path(__file__).with_name("stubtest_allowlist.txt")
    result = subprocess.run([sys.executable, "-m", "mypy.stubtest", "orbweave", "--allowlist", str(allowlist)],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr


def runtime_doc(obj: object) -> typing.Optional[str]:
    """The library's own documentation of `obj`, without a text signature; None when it has none.

    Slot wrappers (`__eq__`, `__int__`, `__iter__`, ...) carry the interpreter's
    generic texts, which are not the library's documentation."""
    if isinstance(obj, types.WrapperDescriptorType):
        return None
    return obj.__doc__ or None


def decorator_names(node: ast.FunctionDef) -> set:
    return {ast.unparse(d) for d in node.decorator_list}


def stub_docs(tree: ast.Module):
    """(path, stub docstring, runtime docstring) for the module, every class and every member."""
    yield "_orbweave", ast.get_docstring(tree), runtime_doc(_orbweave)
    for cls_node in tree.body:
        if not isinstance(cls_node, ast.ClassDef):
            continue
        cls = getattr(_orbweave, cls_node.name, None)
        if cls is None:
            yield cls_node.name, "<in the stub>", "<missing at run time>"
            continue
        class_doc = ast.get_docstring(cls_node)
        for node in cls_node.body:
            if not isinstance(node, ast.FunctionDef):
                continue  # enum members' attribute docstrings exist only for readers of the stubs
            path = f"{cls_node.name}.{node.name}"
            doc = ast.get_docstring(node)
            if node.name == "__new__":
                # The module appends the constructor's documentation to the class's.
                if doc is not None and cls_node.name not in STUB_ONLY_CONSTRUCTOR_NOTES:
                    class_doc = f"{class_doc}\n\n{doc}"
            elif any(name.endswith(".setter") for name in decorator_names(node)):
                yield f"{path} (setter)", doc, None
            elif node.name not in cls.__dict__:
                yield path, "<in the stub>", "<missing at run time>"
            else:
                member = cls.__dict__[node.name]
                yield path, doc, runtime_doc(member.__func__ if isinstance(member, staticmethod) else member)
        yield cls_node.name, class_doc, runtime_doc(cls)


def test_stub_docstrings_are_the_module_docstrings():
    tree = ast.parse(STUB.read_text(encoding="utf-8"))
    compared = list(stub_docs(tree))
    assert {path for path, _, _ in compared} >= set(_orbweave.__all__), "classes of the module absent from the stub"
    mismatches = [f"{path}:\n  stub:    {stub!r}\n  runtime: {runtime!r}"
                  for path, stub, runtime in compared if stub != runtime]
    assert not mismatches, f"stub docstrings that differ from the module's ({len(mismatches)}):\n" + "\n".join(mismatches)
