"""test_numbers -- the checks on one number at a time: the shared case tables, text types and errors."""

import array
import datetime
import inspect
import pickle
import re

import pytest

import tessera
from tables import (BRAND_NAMES, BRAND_TESTS, CARD_ROWS, DATE_ROWS, GPA_ROWS, MASK_ROWS, NUL_CARD_ROWS,
                    NUL_GPA_ROWS, NUL_MASK_ROWS, OPERATIONS, ROOT, WORKED_GPA)

FUNCTIONS = [op.name for op in OPERATIONS]
# Every function but masking, which keeps its text's type.
CHECKS = [op.name for op in OPERATIONS if op.answer != "masked"]
DAY = datetime.date(2009, 9, 30)


def why(row):
    return row[-1]


@pytest.mark.parametrize("text, brand, luhn, reason", CARD_ROWS, ids=[why(r) for r in CARD_ROWS])
def test_card_rows(api, text, brand, luhn, reason):
    check_card_row(api, text, brand, luhn)


def check_card_row(api, text, brand, luhn):
    valid = brand != "none" and luhn
    for data in (text, text.encode("latin-1")):
        for name, test_brand in BRAND_TESTS.items():
            assert getattr(api, name)(data) is (brand == test_brand), name
        assert api.check_organization(data) is (brand != "none")
        assert api.check_number(data) is luhn
        assert api.check_card(data) is valid
        assert api.card_brand(data) == brand
        assert tuple(api.card_verdict(data)) == (valid, brand, luhn)


@pytest.mark.parametrize("text, valid, reason", GPA_ROWS, ids=[why(r) for r in GPA_ROWS])
def test_gpa_rows(api, text, valid, reason):
    assert api.check_gpa_no(text) is valid
    assert api.id_verdict(text).check_digits is valid
    if not valid:
        assert api.gpa_age(text) == 0
        assert api.check_gpa_no_expired(text) is False


@pytest.mark.parametrize("number, day, unexpired, age, reason", DATE_ROWS, ids=[why(r) for r in DATE_ROWS])
def test_date_rows(number, day, unexpired, age, reason):
    today = datetime.date(*day)
    assert tessera.check_gpa_no_expired(number, today) is unexpired
    assert tessera.check_gpa_no_expired(number, today=today) is unexpired
    assert tessera.gpa_age(number, today=today) == age
    assert tessera.id_verdict(number, today=today) == (unexpired, True, unexpired, age)


def test_today_defaults_to_the_local_date():
    number = "12345678970-7506154-2612085-6"  # born in 75, expires 2026-12-08
    for _ in range(3):
        before = datetime.date.today()
        answers = (tessera.gpa_age(number), tessera.check_gpa_no_expired(number))
        if datetime.date.today() == before:
            break
    assert answers == (tessera.gpa_age(number, today=before), tessera.check_gpa_no_expired(number, today=before))


def test_a_datetime_is_judged_by_its_date():
    assert tessera.check_gpa_no_expired(WORKED_GPA, datetime.datetime(2009, 9, 30, 23, 59)) is True
    assert tessera.check_gpa_no_expired(WORKED_GPA, datetime.datetime(2009, 10, 1, 0, 0)) is False


# A NUL byte is a character like any other, in str and bytes alike.
@pytest.mark.parametrize("text, brand, luhn, reason", NUL_CARD_ROWS, ids=[why(r) for r in NUL_CARD_ROWS])
def test_nul_bytes_in_card_numbers(text, brand, luhn, reason):
    check_card_row(tessera, text, brand, luhn)


@pytest.mark.parametrize("text, valid, reason", NUL_GPA_ROWS, ids=[why(r) for r in NUL_GPA_ROWS])
def test_nul_bytes_in_gpa_numbers(text, valid, reason):
    assert tessera.check_gpa_no(text) is valid
    assert tessera.check_gpa_no(text.encode("latin-1")) is valid


def test_the_exports_cannot_take_a_nul_byte(exports):
    with pytest.raises(ValueError, match="embedded null byte"):
        exports.check_card("4111111111111111\0garbage")


# Characters beyond Latin-1 have no byte the checks could read.
BEYOND_LATIN1 = [
    ("\uff14\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11\uff11",
     "fullwidth digits"),
    ("4111111111111111\u20ac", "a euro sign behind a valid number"),
    ("\u20ac", "a euro sign alone: as text without digits it would pass the checksum"),
    ("12345678970-7506154-0909309-0\u2010", "a Unicode hyphen behind a valid GPA number"),
    ("\udc80", "a lone surrogate"),
]


@pytest.mark.parametrize("text, reason", BEYOND_LATIN1, ids=[why(r) for r in BEYOND_LATIN1])
def test_text_beyond_latin1_is_never_valid(api, text, reason):
    for name in CHECKS:
        answer = getattr(api, name)(text)
        if name == "gpa_age":
            assert answer == 0
        elif name == "card_brand":
            assert answer == "none"
        elif name == "card_verdict":
            assert tuple(answer) == (False, "none", False)
        elif name == "id_verdict":
            assert tuple(answer) == (False, False, False, 0)
        else:
            assert answer is False, name


def test_latin1_characters_are_their_bytes():
    assert tessera.check_number("\xff4111111111111111") is True
    assert tessera.check_number(b"\xff4111111111111111") is True
    assert tessera.card_brand("4\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9\xe9") == "Visa"


BYTES_LIKE = [bytes, bytearray, memoryview, lambda b: array.array("B", b), lambda b: memoryview(bytearray(b))]


@pytest.mark.parametrize("make", BYTES_LIKE, ids=["bytes", "bytearray", "memoryview", "array", "writable view"])
def test_every_bytes_like_object_is_a_text(make):
    assert tessera.check_card(make(b"4111111111111111")) is True
    assert tessera.check_card(make(b"4111111111111112")) is False
    assert tessera.card_brand(make(b"378282246310005")) == "American Express"
    assert tessera.gpa_age(make(WORKED_GPA.encode()), today=DAY) == 34


NOT_TEXT = [True, 1j, object(), DAY]


@pytest.mark.parametrize("value", NOT_TEXT, ids=lambda v: type(v).__name__)
@pytest.mark.parametrize("name", FUNCTIONS)
def test_what_is_not_a_text_is_a_type_error(api, name, value):
    with pytest.raises(TypeError, match=name):
        getattr(api, name)(value)


# An integer is its decimal digits: (number, the text it is checked as).
INTEGER_ROWS = [(4111111111111111, "4111111111111111"), (378282246310005, "378282246310005"),
                (4111111111111112, "4111111111111112"), (0, "0"), (-4111111111111111, "-4111111111111111")]


@pytest.mark.parametrize("number, text", INTEGER_ROWS, ids=[text for _, text in INTEGER_ROWS])
def test_an_integer_is_its_digits(api, number, text):
    for name in CHECKS:
        assert getattr(api, name)(number) == getattr(api, name)(text), name


@pytest.mark.parametrize("value", [None, float("nan")], ids=repr)
@pytest.mark.parametrize("name", CHECKS)
def test_a_missing_value_gives_none(api, name, value):
    assert getattr(api, name)(value) is None


@pytest.mark.parametrize("name", CHECKS)
def test_a_float_is_refused_with_advice(api, name):
    with pytest.raises(TypeError, match=f"^{name}\\(\\) takes no float: the digits .* may be lost.*dtype=str"):
        getattr(api, name)(4111111111111111.0)


def test_the_version_is_the_projects(api):
    cmake = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    assert api.__version__ == re.search(r"project\(Tessera\s+VERSION\s+([0-9.]+)", cmake).group(1)


def test_the_package_offers_its_public_names_only():
    assert sorted(name for name in vars(tessera) if not name.startswith("_")) == sorted(tessera.__all__)


def test_arguments_of_the_date_checks():
    with pytest.raises(TypeError, match="datetime.date"):
        tessera.gpa_age(WORKED_GPA, today="2009-09-30")
    with pytest.raises(TypeError):
        tessera.gpa_age(WORKED_GPA, tomorrow=DAY)
    with pytest.raises(TypeError):
        tessera.gpa_age(WORKED_GPA, DAY, today=DAY)
    with pytest.raises(TypeError):
        tessera.gpa_age()
    with pytest.raises(TypeError):
        tessera.check_card("4111111111111111", DAY)


# The rules' rows, then what a str adds: Latin-1 characters are their bytes,
# and characters beyond Latin-1 have none to show.
MASKED_TEXTS = MASK_ROWS + NUL_MASK_ROWS + [
    ("4111 1111 1111 1111\xe9", "4111 11** **** 1111\xe9", "a Latin-1 character kept"),
    ("\uff14\uff11 4111111111111111", "** 411111******1111", "characters beyond Latin-1 become *"),
]


@pytest.mark.parametrize("number, masked, reason", MASKED_TEXTS, ids=[why(r) for r in MASKED_TEXTS])
def test_mask_card(number, masked, reason):
    assert tessera.mask_card(number) == masked
    if all(ord(c) < 256 for c in number):
        assert tessera.mask_card(number.encode("latin-1")) == masked.encode("latin-1")
        assert tessera.mask_card(bytearray(number.encode("latin-1"))) == masked.encode("latin-1")


def test_verdicts_are_named_and_survive_pickling():
    card = tessera.card_verdict("4111111111111")
    assert (card.valid, card.brand, card.checksum) == (False, "Visa", False)
    number = tessera.id_verdict(WORKED_GPA, today=DAY)
    assert (number.valid, number.check_digits, number.unexpired, number.age) == (True, True, True, 34)
    assert pickle.loads(pickle.dumps(card)) == card
    assert pickle.loads(pickle.dumps(number)) == number


def test_brands_are_the_names_the_checks_give(api):
    assert api.BRANDS == tuple(BRAND_NAMES)


def test_the_functions_are_numbered_by_the_table(api):
    backend = getattr(api, "_backend", api)  # the package's extension module, or the ctypes module
    assert backend._OPS == {op.name: number for number, op in enumerate(OPERATIONS)}


def test_every_function_has_a_signature_and_says_what_it_answers():
    for name in FUNCTIONS:
        function = getattr(tessera, name)
        assert list(inspect.signature(function).parameters)[0] == "number"
        assert len(function.__doc__) > 100
    assert "NOT expired" in tessera.check_gpa_no_expired.__doc__
