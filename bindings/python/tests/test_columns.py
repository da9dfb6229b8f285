"""test_columns -- the checks on whole columns: lists, iterables, NumPy arrays and pandas Series."""

import datetime
import itertools
import math
import threading

import numpy as np
import pandas as pd
import pytest

import tessera
from cases import CARD_ROWS, DATE_ROWS, GPA_ROWS

BRAND_TESTS = {
    "is_amex": "American Express", "is_dc": "Diners Club", "is_disc": "Discover",
    "is_jcb": "JCB", "is_mc": "MasterCard", "is_visa": "Visa",
}
CARD_TEXTS = [row[0] for row in CARD_ROWS]
DAY = datetime.date(2009, 9, 30)


def card_expected(name, brand, luhn):
    """A card row's answer to one check, from the row's brand and checksum."""
    if name in BRAND_TESTS:
        return brand == BRAND_TESTS[name]
    return {"check_organization": brand != "none", "check_number": luhn,
            "check_card": brand != "none" and luhn, "card_brand": brand}[name]


# The forms a column of str comes in, each built from a list.
FORMS = {
    "list": list,
    "tuple": tuple,
    "generator": lambda texts: (t for t in texts),
    "str array": np.array,
    "bytes array": lambda texts: np.array([t.encode("latin-1") for t in texts], dtype=bytes),
    "object array": lambda texts: np.array(texts, dtype=object),
    "bytes in a list": lambda texts: [t.encode("latin-1") for t in texts],
    "Series": pd.Series,
    "string Series": lambda texts: pd.Series(texts, dtype="string"),
    "Index": pd.Index,
}


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("name", list(BRAND_TESTS) + ["check_organization", "check_number", "check_card"])
def test_card_rows_as_a_column(name, form):
    answers = getattr(tessera, name)(FORMS[form](CARD_TEXTS))
    assert answers.dtype == np.bool_
    assert answers.tolist() == [card_expected(name, brand, luhn) for _, brand, luhn, _ in CARD_ROWS]


@pytest.mark.parametrize("form", FORMS)
def test_brands_of_a_column(form):
    brands = tessera.card_brand(FORMS[form](CARD_TEXTS))
    assert brands.tolist() == [brand for _, brand, _, _ in CARD_ROWS]


@pytest.mark.parametrize("form", FORMS)
def test_gpa_rows_as_a_column(form):
    texts = [row[0] for row in GPA_ROWS]
    assert tessera.check_gpa_no(FORMS[form](texts)).tolist() == [valid for _, valid, _ in GPA_ROWS]


@pytest.mark.parametrize("form", ["list", "str array", "Series"])
def test_date_rows_as_columns_one_day_each(form):
    for day, rows in itertools.groupby(sorted(DATE_ROWS, key=lambda r: r[1]), key=lambda r: r[1]):
        rows = list(rows)
        column = FORMS[form]([number for number, *_ in rows])
        today = datetime.date(*day)
        assert tessera.check_gpa_no_expired(column, today).tolist() == [r[2] for r in rows]
        ages = tessera.gpa_age(column, today=today)
        assert ages.dtype == np.int32
        assert ages.tolist() == [r[3] for r in rows]


MISSING = [None, math.nan, np.nan, np.float64("nan"), pd.NA, pd.NaT]


def test_missing_values_are_never_valid():
    column = MISSING + ["4111111111111111"]
    none = [False] * len(MISSING)
    assert tessera.check_card(column).tolist() == none + [True]
    assert tessera.check_number(column).tolist() == none + [True]
    assert tessera.card_brand(column).tolist() == ["none"] * len(MISSING) + ["Visa"]
    assert tessera.gpa_age(column, DAY).tolist() == [0] * len(column)
    assert tessera.mask_card(column).tolist() == [None] * len(MISSING) + ["411111******1111"]


@pytest.mark.parametrize("series", [
    pd.Series(["4111111111111111", None, "378282246310005"]),
    pd.Series(["4111111111111111", pd.NA, "378282246310005"], dtype="string"),
    pd.Series(["4111111111111111", np.nan, "378282246310005"]),
], ids=["None", "pandas.NA", "NaN"])
def test_a_series_with_a_missing_value(series):
    assert tessera.check_card(series).tolist() == [True, False, True]
    frame = tessera.card_verdict(series)
    assert frame.to_dict("list") == {"valid": [True, False, True], "brand": ["Visa", "none", "American Express"],
                                     "checksum": [True, False, True]}


def test_a_column_with_no_value_at_all():
    empty_csv_column = pd.Series([np.nan, np.nan])  # float64, as read_csv reads an empty column
    assert tessera.check_card(empty_csv_column).tolist() == [False, False]


EMPTY = [[], (), iter([]), np.array([], dtype=object), np.array([], dtype="U1"), np.array([], dtype="S1"),
         pd.Series([], dtype=object), pd.Series([], dtype="float64"), pd.Series([], dtype="string")]


@pytest.mark.parametrize("column", EMPTY, ids=lambda c: type(c).__name__ + str(getattr(c, "dtype", "")))
def test_empty_columns(column):
    column = list(column) if isinstance(column, type(iter([]))) else column
    assert tessera.check_card(column).shape == (0,)
    assert tessera.check_card(column).dtype == np.bool_
    assert tessera.gpa_age(column, DAY).dtype == np.int32
    assert tessera.mask_card(column).shape == (0,)
    frame = tessera.card_verdict(column)
    assert list(frame.columns) == ["valid", "brand", "checksum"] and len(frame) == 0


def test_text_beyond_latin1_in_a_column():
    texts = ["\uff14111111111111111", "4111111111111111", "\u20ac"]
    for column in (texts, np.array(texts), pd.Series(texts)):
        assert tessera.check_card(column).tolist() == [False, True, False]
        assert tessera.check_number(column).tolist() == [False, True, False]
        assert tessera.mask_card(column).tolist() == ["*111111*****1111", "411111******1111", "*"]


def test_a_bytes_array_holds_no_trailing_nul():
    # NumPy reads b"4111111111111111\0" back as b"4111111111111111"; the checks see what NumPy shows.
    column = np.array([b"4111111111111111\0", b"4111111111111111\0x"])
    assert column[0] == b"4111111111111111"
    assert tessera.check_card(column).tolist() == [True, False]
    assert tessera.check_card(list(column)).tolist() == [True, False]


def test_the_answer_has_the_shape_of_the_array():
    grid = np.array([["4111111111111111", "4111111111111"], ["378282246310005", "x"]])
    assert tessera.check_card(grid).tolist() == [[True, False], [True, False]]
    assert tessera.card_brand(grid).tolist() == [["Visa", "Visa"], ["American Express", "none"]]
    assert tessera.mask_card(grid.T).tolist() == [["411111******1111", "378282*****0005"], ["411111***1111", "x"]]
    with pytest.raises(ValueError, match="one-dimensional"):
        tessera.card_verdict(grid)


def test_a_non_native_byte_order_str_array():
    column = np.array(["4111111111111111", "4111111111111"], dtype=">U16")
    assert tessera.check_card(column).tolist() == [True, False]


def test_masking_keeps_each_element_type():
    masked = tessera.mask_card(["4111 1111 1111 1111", b"4111111111111111", bytearray(b"12345678901"), None])
    assert masked.tolist() == ["4111 11** **** 1111", b"411111******1111", b"123456*8901", None]


def test_card_verdicts_of_a_series_keep_its_index():
    series = pd.Series(["4111111111111111", "4111111111111", "378282246310006"], index=["a", "b", "c"])
    frame = tessera.card_verdict(series)
    assert list(frame.index) == ["a", "b", "c"]
    assert frame.valid.tolist() == [True, False, False]
    assert frame.brand.tolist() == ["Visa", "Visa", "American Express"]
    assert frame.checksum.tolist() == [True, False, False]
    assert list(frame.brand.cat.categories) == list(tessera.BRANDS)


def test_id_verdicts_of_a_column():
    frame = tessera.id_verdict([row[0] for row in DATE_ROWS[:2]] + ["x"], today=datetime.date(2026, 12, 8))
    assert frame.to_dict("list") == {"valid": [True, False, False], "check_digits": [True, True, False],
                                     "unexpired": [True, False, False], "age": [51, 51, 0]}
    assert frame.age.dtype == np.int32


def test_verdicts_without_pandas_are_arrays(monkeypatch):
    monkeypatch.setattr(tessera._columns, "_pandas", lambda: None)
    verdicts = tessera.card_verdict(["4111111111111111", "x"])
    assert {name: answers.tolist() for name, answers in verdicts.items()} == {
        "valid": [True, False], "brand": ["Visa", "none"], "checksum": [True, True]}  # "x": no digits, sum 0


@pytest.mark.parametrize("column, row, kind", [
    ([42], 0, "int"),
    (["4111111111111111", 4.5], 1, "float"),
    (np.array([4111111111111111]), 0, "int"),
    (pd.Series(["4111111111111111", object()]), 1, "object"),
], ids=["int", "float", "int array", "object"])
def test_a_row_that_is_not_a_text(column, row, kind):
    with pytest.raises(TypeError, match=f"check_card\\(\\): row {row} is {kind}"):
        tessera.check_card(column)


def test_a_whole_frame_is_not_a_column():
    with pytest.raises(TypeError, match="df\\['number'\\]"):
        tessera.check_card(pd.DataFrame({"number": ["4111111111111111"]}))


def test_columns_in_threads_at_once():
    column = CARD_TEXTS * 2000
    expected = [card_expected("check_card", brand, luhn) for _, brand, luhn, _ in CARD_ROWS] * 2000
    results = [None] * 4

    def work(slot):
        results[slot] = tessera.check_card(column).tolist()

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4
