import datetime as dt
import os
import pathlib

import pytest

UTC = dt.timezone.utc


def utc(*fields: int) -> dt.datetime:
    return dt.datetime(*fields, tzinfo=UTC)


@pytest.fixture
def shared_data() -> pathlib.Path:
    """The external test data folder beside the repository; skips when absent."""
    candidates = [os.environ.get("ORBWEAVE_SHARED_DATA", ""),
                  str(pathlib.Path(__file__).resolve().parents[3] / "shared" / "data")]
    for candidate in candidates:
        if candidate and pathlib.Path(candidate).is_dir():
            return pathlib.Path(candidate)
    pytest.skip("shared test data not present")
