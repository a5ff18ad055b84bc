"""Byte-level mutations of valid OMM and TLE texts: the readers answer every one of
them with a result or a ValueError, never anything else."""
import json
import random

import pytest

from orbweave import Elements, Tle

from conftest import ISS_OMM, ISS_TLE

# The OMM without its frame fields, one field per line, with an integer and a float
# given as strings, as Space-Track gives every number.
OMM = json.dumps({**{k: v for k, v in ISS_OMM.items() if k not in ("CENTER_NAME", "REF_FRAME")},
                  "NORAD_CAT_ID": str(ISS_OMM["NORAD_CAT_ID"]), "BSTAR": str(ISS_OMM["BSTAR"])}, indent=1)
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
    assert Tle(*ISS_TLE).to_elements().norad_id == 25544


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
        name, line_1, line_2 = ISS_TLE
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
