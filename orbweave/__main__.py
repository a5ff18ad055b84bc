"""`python -m orbweave`: show the installed library and a sample computation."""

import datetime as _dt

import orbweave


def main() -> None:
    utc = _dt.timezone.utc
    now = _dt.datetime.now(utc).replace(microsecond=0)
    window = orbweave.Interval(now, now + _dt.timedelta(hours=1, minutes=30))
    print(f"orbweave {len(orbweave.__all__)} classes: {', '.join(orbweave.__all__)}")
    print(f"{window!r}: duration {window.duration}, mid point {window.mid_point.isoformat()}")


if __name__ == "__main__":
    main()
