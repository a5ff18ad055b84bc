"""Byte-level mutations of valid OMM and TLE texts: the readers answer every one of
them with a result or a ValueError, never anything else."""
import json
import random

import pytest

from orbweave import Elements, Tle

OMM = json.dumps({
    "OBJECT_NAME": "ISS (ZARYA)", "OBJECT_ID": "1998-067A", "EPOCH": "2020-07-12T01:19:07.199616",
    "MEAN_MOTION": 15.49560532, "ECCENTRICITY": 0.0001771, "INCLINATION": 51.6435, "RA_OF_ASC_NODE": 225.4004,
    "ARG_OF_PERICENTER": 44.9625, "MEAN_ANOMALY": 5.1087, "EPHEMERIS_TYPE": 0, "CLASSIFICATION_TYPE": "U",
    "NORAD_CAT_ID": "25544", "ELEMENT_SET_NO": 999, "REV_AT_EPOCH": 23587, "BSTAR": "0.0049645",
    "MEAN_MOTION_DOT": 0.00289036, "MEAN_MOTION_DDOT": 0,
}, indent=1)
TLE = ("ISS (ZARYA)",
       "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998",
       "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875")
ALPHABET = "0123456789 .-+eEUCS\"{}[],:\\nultrfasNIa\t\n\x00é\u2028\ud800"


def mutate(text: str, rng: random.Random) -> str:
    chars = list(text)
    for _ in range(rng.randint(1, 4)):
        position = rng.randrange(len(chars) + 1)
        action = rng.random()
        if action < 0.4 and position < len(chars):
            chars[position] = rng.choice(ALPHABET)
        elif action < 0.7:
            chars.insert(position, rng.choice(ALPHABET))
        elif position < len(chars):
            del chars[position]
    return "".join(chars)


def test_valid_texts_read():
    assert Elements.from_json(OMM).norad_id == 25544
    assert Tle(*TLE).to_elements().norad_id == 25544


@pytest.mark.parametrize("seed", range(4))
def test_mutated_omm_gives_elements_or_value_error(seed):
    rng = random.Random(seed)
    for _ in range(1500):
        try:
            Elements.from_json(mutate(OMM, rng))
        except ValueError:
            pass


@pytest.mark.parametrize("seed", range(4))
def test_mutated_tle_gives_elements_or_value_error(seed):
    rng = random.Random(seed)
    for _ in range(1500):
        name, line_1, line_2 = TLE
        which = rng.randrange(3)
        mutated = [name, line_1, line_2]
        mutated[which] = mutate(mutated[which], rng)
        try:
            Tle(*mutated).to_elements()
        except ValueError:
            pass


@pytest.mark.parametrize("text", ["", " ", "\ufeff{}", "{" * 100000, "[" * 129 + "]" * 129, "x" * 1_000_000,
                                  '{"OBJECT_NAME": "' + "\U0001F6F0" * 1000 + '"}'])
def test_extreme_json_texts(text):
    with pytest.raises(ValueError):
        Elements.from_json(text)
