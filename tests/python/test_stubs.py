"""The type stubs describe exactly what the module exposes."""
import importlib.util
import pathlib
import subprocess
import sys

import pytest


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None, reason="mypy is not installed")
def test_stubs_match_the_module():
    allowlist = pathlib.Path(__file__).with_name("stubtest_allowlist.txt")
    result = subprocess.run([sys.executable, "-m", "mypy.stubtest", "orbweave", "--allowlist", str(allowlist)],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr
