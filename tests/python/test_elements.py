"""Elements, Classification and Tle from Python."""
import datetime as dt
import json
import os
import subprocess
import sys
import warnings

import pytest

from orbweave import Classification, Elements, Predictor, Tle

from conftest import ISS_FIELDS, ISS_OMM, ISS_TLE, ISS_TLE_EPOCH, UTC, utc

PROPERTIES = ["object_name", "norad_id", "classification", "international_designator", "epoch", "mean_motion_dot",
              "mean_motion_ddot", "drag_term", "element_set_number", "inclination", "right_ascension",
              "eccentricity", "argument_of_perigee", "mean_anomaly", "mean_motion", "revolution_number",
              "ephemeris_type"]


def fields(elements: Elements) -> dict:
    return {name: getattr(elements, name) for name in PROPERTIES}


class TestClassification:
    def test_members(self):
        members = [Classification.Unclassified, Classification.Classified, Classification.Secret]
        assert [repr(m) for m in members] == ["Classification.Unclassified", "Classification.Classified",
                                              "Classification.Secret"]
        assert [int(m) for m in members] == [0, 1, 2]
        assert Classification.Classified == 1 and Classification.Classified != 0
        assert Classification.Secret == Classification.Secret != Classification.Unclassified
        assert Classification.Secret != "Secret" and Classification.Secret != 2.0
        assert Classification.Secret != 2 ** 80
        assert len({*members, *members}) == 3
        assert hash(Classification.Classified) != hash(1)
        with pytest.raises(TypeError):
            Classification.Secret < Classification.Classified  # noqa: B015
        with pytest.raises(TypeError):
            Classification()
        assert Classification.__doc__ == "Satellite classification type (CLASSIFICATION_TYPE field in OMM)."

    def test_hash_is_stable_across_processes(self):
        code = "import orbweave; print(hash(orbweave.Classification.Secret))"
        outputs = {subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True,
                                  env={**os.environ, "PYTHONHASHSEED": seed}).stdout for seed in ("1", "2")}
        assert outputs == {f"{hash(Classification.Secret)}\n"}


class TestElementsConstructor:
    def test_defaults(self):
        e = Elements(**ISS_FIELDS)
        assert fields(e) == {**ISS_FIELDS, "object_name": None, "classification": Classification.Unclassified,
                             "international_designator": None, "mean_motion_ddot": 0.0, "drag_term": 0.0,
                             "element_set_number": 0, "revolution_number": 0, "ephemeris_type": 0}
        assert e.epoch.tzinfo is UTC

    def test_every_field(self):
        given = {**ISS_FIELDS, "mean_motion_ddot": 1e-12, "drag_term": 0.0049645, "revolution_number": 23587,
                 "object_name": "ISS (ZARYA)", "classification": Classification.Secret,
                 "international_designator": "1998-067A", "element_set_number": 999, "ephemeris_type": 255}
        assert fields(Elements(**given)) == given

    def test_numbers_convert_like_floats_and_indices(self):
        class Index:
            def __index__(self):
                return 7
        e = Elements(**{**ISS_FIELDS, "norad_id": Index(), "inclination": 51, "mean_motion": Index()})
        assert (e.norad_id, e.inclination, e.mean_motion) == (7, 51.0, 7.0)
        assert type(e.inclination) is float
        assert Elements(**{**ISS_FIELDS, "norad_id": 2 ** 64 - 1}).norad_id == 2 ** 64 - 1

    @pytest.mark.parametrize("argument, value, error, message", [
        ("norad_id", -1, OverflowError, "can't convert negative int to unsigned"),
        ("norad_id", 2 ** 64, OverflowError, None),
        ("norad_id", 1.0, TypeError, "'float' object cannot be interpreted as an integer"),
        ("epoch", dt.datetime(2020, 1, 1), TypeError, "expected a datetime with non-None tzinfo"),
        ("mean_motion", "15", TypeError, None),
        ("mean_motion", None, TypeError, None),
        ("object_name", b"ISS", TypeError, "'bytes' object is not an instance of 'str'"),
        ("object_name", "\ud800", UnicodeEncodeError, None),
        ("classification", 0, TypeError, "'int' object is not an instance of 'Classification'"),
        ("classification", None, TypeError, "'None' is not an instance of 'Classification'"),
        ("ephemeris_type", 256, OverflowError, None),
        ("revolution_number", True and 1.5, TypeError, None),
    ])
    def test_conversion_errors_name_the_argument(self, argument, value, error, message):
        with pytest.raises(error) as info:
            Elements(**{**ISS_FIELDS, argument: value})
        if message is not None:
            assert str(info.value) == message
        if sys.version_info >= (3, 11):
            assert info.value.__notes__ == [f"while processing '{argument}'"]

    def test_float_conversion_errors_pass_through(self):
        class Bad:
            def __float__(self):
                raise ZeroDivisionError("no float")
        with pytest.raises(ZeroDivisionError, match="no float"):
            Elements(**{**ISS_FIELDS, "eccentricity": Bad()})

    def test_binding_errors(self):
        with pytest.raises(TypeError, match=r"^Elements\(\) takes 0 positional arguments but 1 was given$"):
            Elements(1)
        missing = {k: v for k, v in ISS_FIELDS.items() if k != "epoch"}
        with pytest.raises(TypeError, match=r"^Elements\(\) missing 1 required keyword argument: 'epoch'$"):
            Elements(**missing)
        with pytest.raises(TypeError, match=r"unexpected keyword argument 'bstar'"):
            Elements(**ISS_FIELDS, bstar=0.0)

    def test_is_immutable_and_compares_by_identity(self):
        e = Elements(**ISS_FIELDS)
        with pytest.raises(AttributeError):
            e.norad_id = 1
        assert e != Elements(**ISS_FIELDS)
        assert hash(e) == hash(e)


@pytest.mark.parametrize("name, shown", [
    (None, "None"),
    ("ISS (ZARYA)", '"ISS (ZARYA)"'),
    ('say "hi"\\', '"say \\"hi\\"\\\\"'),
    ("a\nb\rc\td", '"a\\nb\\rc\\td"'),
    ("\x00\x7f\u200b", '"\\u{0}\\u{7f}\\u{200b}"'),
    ("Ünïcødé 衛星", '"Ünïcødé 衛星"'),
])
def test_repr_escapes_the_name(name, shown):
    e = Elements(**{**ISS_FIELDS, "object_name": name, "epoch": ISS_TLE_EPOCH})
    assert repr(e) == f"Elements(norad_id=25544, object_name={shown}, epoch=2020-07-12 01:19:07.199616 UTC)"


class TestOmm:
    def test_celestrak_and_space_track_forms_agree(self):
        as_strings = {k: (str(v) if v is not None else v) for k, v in ISS_OMM.items()}
        numbers, strings = Elements.from_json(json.dumps(ISS_OMM)), Elements.from_dict(as_strings)
        assert fields(numbers) == fields(strings)
        assert numbers.epoch == utc(2020, 7, 12, 1, 19, 7, 199616)
        assert (numbers.object_name, numbers.international_designator) == ("ISS (ZARYA)", "1998-067A")
        assert numbers.element_set_number == 999 and numbers.revolution_number == 23587

    @pytest.mark.parametrize("change, message", [
        ({"BSTAR": None}, "missing field `BSTAR` at line 1 column "),
        ({"NORAD_CAT_ID": 25544.0}, "parsing the number as u64 failed at line 1 column "),
        ({"NORAD_CAT_ID": " 25544"}, "invalid digit found in string at line 1 column "),
        ({"CLASSIFICATION_TYPE": "u"}, "unknown variant `u`, expected one of `U`, `C`, `S` at line 1 column "),
        ({"EPOCH": "2020-07-12T01:19:07Z"}, "trailing input at line 1 column "),
        ({"MEAN_MOTION": float("nan")}, "expected value at line 1 column "),
    ])
    def test_from_dict_errors(self, change, message):
        data = {k: v for k, v in {**ISS_OMM, **change}.items() if v is not None}
        with pytest.raises(ValueError) as info:
            Elements.from_dict(data)
        assert str(info.value).startswith(message)
        assert type(info.value) is ValueError

    def test_from_dict_passes_json_errors_through(self):
        with pytest.raises(TypeError, match="not JSON serializable"):
            Elements.from_dict({**ISS_OMM, "EPOCH": utc(2020, 1, 1)})
        with pytest.raises(TypeError, match="keys must be"):
            Elements.from_dict({(1, 2): 3})

    def test_object_name_null_or_missing(self):
        assert Elements.from_dict({**ISS_OMM, "OBJECT_NAME": None}).object_name is None
        without = {k: v for k, v in ISS_OMM.items() if k != "OBJECT_NAME"}
        assert Elements.from_dict(without).object_name is None

    @pytest.mark.parametrize("text", ["", "[", "\ud800", "{\"EPOCH\": \"\ud83d\"}", "[" + json.dumps(ISS_OMM) + "]"])
    def test_from_json_bad_text_is_a_value_error(self, text):
        with pytest.raises(ValueError):
            Elements.from_json(text)

    def test_from_json_requires_str(self):
        with pytest.raises(TypeError, match="'bytes' object is not an instance of 'str'"):
            Elements.from_json(json.dumps(ISS_OMM).encode())


class TestTle:
    def test_to_elements(self):
        tle = Tle(*ISS_TLE)
        e = tle.to_elements()
        assert e.object_name == "ISS (ZARYA)" and e.norad_id == 25544
        assert e.international_designator == "1998-067A"
        assert e.epoch == utc(2020, 7, 12, 1, 19, 7, 199616)
        assert e.mean_motion == 15.49560532 and e.eccentricity == 0.0001771 and e.drag_term == 0.0049645
        again = tle.to_elements()
        assert again is not e and repr(again) == repr(e)

    def test_wrong_checksum_on_line_2(self):
        _, line_1, line_2 = ISS_TLE
        bad = line_2[:68] + str((int(line_2[68]) + 1) % 10)
        with pytest.raises(ValueError) as info:
            Tle("ISS", line_1, bad).to_elements()
        assert info.value.args == ("TLE parse error: Bad line checksum on TLE line 2 between characters 68 and 69",)

    def test_construction_does_not_check(self):
        tle = Tle("", "1", "2")
        with pytest.raises(ValueError, match="^TLE parse error: Bad line length on TLE line 1 between characters 0 and 1$"):
            tle.to_elements()
        assert (tle.satellite_name, tle.line_1, tle.line_2) == ("", "1", "2")

    def test_equality_and_hash(self):
        a, b = Tle("X", "l1", "l2"), Tle(line_2="l2", line_1="l1", satellite_name="X")
        assert a == b and hash(a) == hash(b)
        assert a != Tle("X", "l1", "l3") and a != ("X", "l1", "l2")
        assert hash(Tle("ab", "c", "")) != hash(Tle("a", "bc", ""))
        with pytest.raises(TypeError):
            a < b  # noqa: B015
        assert Tle.__text_signature__ == "(satellite_name, line_1, line_2)"

    @pytest.mark.parametrize("args, message", [
        (("X", "l1"), "Tle() missing 1 required positional argument: 'line_2'"),
        (("X", "l1", "l2", "l3"), "Tle() takes 3 positional arguments but 4 were given"),
    ])
    def test_binding_errors(self, args, message):
        with pytest.raises(TypeError) as info:
            Tle(*args)
        assert str(info.value) == message

    def test_arguments_must_be_str(self):
        with pytest.raises(TypeError, match="'NoneType'|'None' is not an instance of 'str'") as info:
            Tle(None, "", "")
        if sys.version_info >= (3, 11):
            assert info.value.__notes__ == ["while processing 'satellite_name'"]


class TestLeapSecondEpoch:
    """Only an epoch read from text can fall in a leap second; datetime cannot hold it."""

    elements = Elements.from_dict({**ISS_OMM, "EPOCH": "2016-12-31T23:59:60.5"})

    def test_warns_and_falls_one_second_early(self):
        with pytest.warns(UserWarning, match="^ignored leap-second, `datetime` does not support leap-seconds$"):
            epoch = self.elements.epoch
        assert epoch == utc(2016, 12, 31, 23, 59, 59, 500000)
        assert repr(self.elements).endswith("epoch=2016-12-31 23:59:60.500 UTC)")

    def test_warning_turned_error_goes_to_the_unraisable_hook(self, monkeypatch):
        seen = []
        monkeypatch.setattr(sys, "unraisablehook", seen.append)
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            assert self.elements.epoch == utc(2016, 12, 31, 23, 59, 59, 500000)
        assert [type(u.exc_value) for u in seen] == [UserWarning]

    def test_age_counts_the_leap_second(self):
        predictor = Predictor(self.elements)
        assert predictor.tle_age_seconds(utc(2017, 1, 1)) == 0.5
