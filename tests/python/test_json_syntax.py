"""The library's JSON reader accepts exactly the texts Python's json module accepts.

Python's `json.loads` is the reference, with the non-standard constants NaN,
Infinity and -Infinity refused. The reader is run through the C++ test tool
`json_syntax_check`: the one named by the environment variable ORBWEAVE_JSON_CHECK,
else the one the C++ test build leaves in the repository's build tree. Every text
is given as UTF-8 bytes; for Python the bytes are first decoded strictly as UTF-8,
so invalid UTF-8 counts as invalid JSON for both.
"""
import json
import os
import pathlib
import subprocess

import pytest

from conftest import REPOSITORY

BUILT_TOOL = REPOSITORY / "build" / "test-cpp" / "tests" / "tools" / "json_syntax_check"
BUILD_COMMAND = ("cmake -S . -B build/test-cpp -G Ninja -DORBWEAVE_BUILD_PYTHON=OFF -DORBWEAVE_BUILD_TESTS=ON"
                 " && cmake --build build/test-cpp --target json_syntax_check")


def find_tool() -> str:
    named = os.environ.get("ORBWEAVE_JSON_CHECK")
    if named:
        if not pathlib.Path(named).is_file():
            pytest.fail(f"ORBWEAVE_JSON_CHECK names {named}, which does not exist", pytrace=False)
        return named
    if not BUILT_TOOL.is_file():
        # One skip for the whole module, so the summary gives the reason once.
        pytest.skip("the C++ test tool json_syntax_check is not built: from the repository root run "
                    f"`{BUILD_COMMAND}`, or set ORBWEAVE_JSON_CHECK to the tool's path", allow_module_level=True)
    return str(BUILT_TOOL)


TOOL = find_tool()


def nested(depth: int) -> bytes:
    return b"[" * depth + b"]" * depth


def nested_objects(depth: int) -> bytes:
    return b'{"a":' * depth + b"1" + b"}" * depth


VALID = {
    "zero": b"0",
    "negative zero": b"-0",
    "negative zero float": b"-0.0",
    "zero exponent": b"0e0",
    "capital exponent with sign": b"0E+0",
    "negative exponent zero": b"1e-0",
    "fraction and exponent": b"-123.456e-7",
    "underflow": b"123.456e-789",
    "overflow to infinity": b"1e400",
    "negative overflow": b"-1e400",
    "largest double": b"1.7976931348623157e308",
    "smallest subnormal": b"4.9e-324",
    "huge integer": b"9" * 1000,
    "empty string": b'""',
    "escaped nul": b'"\\u0000"',
    "surrogate pair": b'"\\uD83D\\uDE00"',
    "lower-case surrogate pair": b'"\\ud83d\\ude00"',
    "every short escape": b'"\\"\\\\\\/\\b\\f\\n\\r\\t"',
    "raw delete": b'"\x7f"',
    "two-byte character": '"é"'.encode(),
    "four-byte character": '"😀"'.encode(),
    "line and paragraph separators": '"\u2028\u2029"'.encode(),
    "byte order mark inside a string": '"\ufeff"'.encode(),
    "noncharacter": '"\uffff"'.encode(),
    "escaped noncharacter": b'"\\uFFFF"',
    "surrounding whitespace": b" \t\n\r1 \t\n\r",
    "whitespace inside containers": b'{ "a" : 1 ,\r\n "b" : [ ] }',
    "literals": b"[true,false,null]",
    "empty containers": b'[[],{},{"":""}]',
    "duplicate keys": b'{"a":1,"a":2}',
    "128 nested arrays": nested(128),
    "128 nested objects": nested_objects(128),
}

INVALID = {
    "empty": b"",
    "only whitespace": b" ",
    "byte order mark": "\ufeff{}".encode(),
    "NaN": b"NaN",
    "Infinity": b"Infinity",
    "-Infinity": b"-Infinity",
    "NaN in a list": b"[NaN]",
    "lower-case nan": b"nan",
    "leading zero": b"01",
    "negative leading zero": b"-01",
    "double zero": b"00",
    "bare point": b"1.",
    "leading point": b".1",
    "plus sign": b"+1",
    "empty exponent": b"1e",
    "signed empty exponent": b"1e+",
    "hexadecimal": b"0x10",
    "underscore": b"1_000",
    "minus and blank": b"- 1",
    "double minus": b"--1",
    "trailing comma in a list": b"[1,]",
    "trailing comma in an object": b'{"a":1,}',
    "lone comma": b"[,]",
    "double comma": b"[1,,2]",
    "comma in an empty object": b"{,}",
    "missing colon": b'{"a" 1}',
    "single-quoted key": b"{'a':1}",
    "bare key": b"{a:1}",
    "missing comma in an object": b'{"a":1 "b":2}',
    "missing comma in a list": b"[1 2]",
    "raw tab in a string": b'"\t"',
    "raw line feed in a string": b'"\n"',
    "raw nul in a string": b'"\x00"',
    "raw unit separator in a string": b'"\x1f"',
    "single-quoted string": b"'single'",
    "hex escape": b'"\\x41"',
    "short unicode escape": b'"\\u12"',
    "bad hex digit": b'"\\u12G4"',
    "capital U escape": b'"\\U0041"',
    "unclosed string": b'"abc',
    "escaped closing quote": b'"\\"',
    "unclosed list": b"[",
    "unclosed object": b"{",
    "missing value": b'{"a":',
    "unclosed list after a value": b"[1",
    "truncated true": b"tru",
    "truncated null": b"nul",
    "two values": b"[] []",
    "two numbers": b"1 2",
    "garbage after a value": b"{}x",
    "nul after a value": b"[]\x00",
    "form feed as whitespace": b"\x0c[]",
    "vertical tab as whitespace": b"\x0b[]",
    "no-break space as whitespace": "\u00a0[]".encode(),
    "line separator as whitespace": "\u2028[]".encode(),
    "line comment": b"[] // x",
    "block comment": b"/* */ []",
    "nul as a value": b"[\x00]",
    "invalid byte in a string": b'"\xff"',
    "bad continuation byte": b'"\xc3\x28"',
    "encoded surrogate": b'"\xed\xa0\x80"',
    "overlong slash": b'"\xc0\xaf"',
    "beyond U+10FFFF": b'"\xf4\x90\x80\x80"',
    "truncated sequence": b'"\xe2\x82"',
    "invalid byte as a value": b"[\xff]",
}

# Where the reader deliberately refuses what json.loads accepts, with its message.
DIFFERENCES = {
    "129 nested arrays": (nested(129), "recursion limit exceeded at line 1 column 129"),
    "129 nested objects": (nested_objects(129), "recursion limit exceeded at line 1 column 641"),
    # Lone surrogates cannot be carried in UTF-8 text.
    "lone leading surrogate": (b'"\\ud800"', "lone leading surrogate in hex escape at line 1 column 8"),
    "leading surrogate then a letter": (b'"\\ud800\\u0041"', "lone leading surrogate in hex escape at line 1 column 13"),
    "leading surrogate then a short escape": (b'"\\ud800\\n"', "lone leading surrogate in hex escape at line 1 column 9"),
    "lone trailing surrogate": (b'"\\udc00"', "lone trailing surrogate in hex escape at line 1 column 7"),
    "surrogates in the wrong order": (b'"\\udc00\\ud800"', "lone trailing surrogate in hex escape at line 1 column 7"),
}

CASES = {**VALID, **INVALID, **{name: text for name, (text, _) in DIFFERENCES.items()}}


def refuse_constant(name: str):
    raise ValueError(f"non-standard constant {name}")


def python_accepts(text: bytes) -> bool:
    try:
        json.loads(text.decode("utf-8"), parse_constant=refuse_constant)
    except ValueError:
        return False
    return True


@pytest.fixture(scope="module")
def verdicts(tmp_path_factory) -> dict:
    """The tool's answer for every case, from one run over all of them."""
    folder = tmp_path_factory.mktemp("json")
    names = list(CASES)
    paths = []
    for index, name in enumerate(names):
        path = folder / f"{index}.json"
        path.write_bytes(CASES[name])
        paths.append(str(path))
    run = subprocess.run([TOOL, *paths], capture_output=True, check=False, timeout=60)
    assert run.returncode in (0, 1), run.stderr
    lines = run.stdout.decode().splitlines()
    assert len(lines) == len(names)
    return dict(zip(names, lines))


def test_cases_are_classified_as_python_does():
    assert all(python_accepts(text) for text in VALID.values())
    assert not any(python_accepts(text) for text in INVALID.values())
    assert all(python_accepts(text) for text, _ in DIFFERENCES.values())


@pytest.mark.parametrize("name", [*VALID, *INVALID])
def test_same_verdict_as_python(verdicts, name):
    verdict = verdicts[name]
    if python_accepts(CASES[name]):
        assert verdict == "ok"
    else:
        assert verdict.startswith("error: ") and " at line " in verdict


@pytest.mark.parametrize("name", DIFFERENCES)
def test_deliberate_differences(verdicts, name):
    assert verdicts[name] == "error: " + DIFFERENCES[name][1]


def test_reads_standard_input():
    run = subprocess.run([TOOL], input=b"{\n  \"a\": [1,]\n}", capture_output=True, check=False, timeout=60)
    assert run.returncode == 1
    assert run.stdout.decode() == "error: trailing comma at line 2 column 11\n"
