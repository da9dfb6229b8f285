"""test_columns -- the checks on whole columns: lists, iterables, NumPy arrays and pandas Series."""

import datetime
import io
import itertools
import math
import threading

import numpy as np
import pandas as pd
import pytest

import tessera
from tables import BRAND_TESTS, CARD_ROWS, DATE_ROWS, GPA_ROWS, card_answer

CARD_TEXTS = [row[0] for row in CARD_ROWS]
DAY = datetime.date(2009, 9, 30)


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


SERIES_FORMS = {"Series", "string Series"}


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("name", list(BRAND_TESTS) + ["check_organization", "check_number", "check_card"])
def test_card_rows_as_a_column(name, form):
    answers = getattr(tessera, name)(FORMS[form](CARD_TEXTS))
    assert answers.dtype == ("boolean" if form in SERIES_FORMS else np.bool_)
    assert answers.tolist() == [card_answer(name, brand, luhn) for _, brand, luhn, _ in CARD_ROWS]


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
        assert ages.dtype == ("Int32" if form == "Series" else np.int32)
        assert ages.tolist() == [r[3] for r in rows]


# Missing values of every kind; each column ends with a valid number.
MISSING = [None, math.nan, np.nan, np.float64("nan"), np.float32("nan"), np.float16("nan"), np.longdouble("nan"),
           pd.NA, pd.NaT]
VISA = "4111111111111111"


def test_missing_values_give_masked_answers_in_a_list():
    column = MISSING + [VISA]
    masked = [None] * len(MISSING)
    assert tessera.check_card(column).tolist() == masked + [True]
    assert tessera.check_number(column).tolist() == masked + [True]
    assert tessera.gpa_age(column, DAY).tolist() == masked + [0]
    assert tessera.card_brand(column).tolist() == masked + ["Visa"]
    assert tessera.mask_card(column).tolist() == masked + ["411111******1111"]
    assert isinstance(tessera.check_card([VISA]), np.ndarray) and not np.ma.isMaskedArray(tessera.check_card([VISA]))


def test_missing_values_give_na_in_a_series():
    series = pd.Series(MISSING + [VISA], index=[f"r{i}" for i in range(len(MISSING) + 1)], name="card")
    na = [pd.NA] * len(MISSING)
    for name, dtype, last in [("check_card", "boolean", True), ("check_number", "boolean", True),
                              ("gpa_age", "Int32", 0), ("card_brand", "string", "Visa"),
                              ("mask_card", "string", "411111******1111")]:
        answers = getattr(tessera, name)(series)
        assert (answers.dtype, answers.tolist()) == (dtype, na + [last]), name
        assert (list(answers.index), answers.name) == (list(series.index), "card"), name


@pytest.mark.parametrize("value", MISSING, ids=repr)
def test_one_missing_value_gives_none(value):
    for name in ["check_card", "check_number", "is_visa", "check_gpa_no", "card_brand", "card_verdict", "mask_card"]:
        assert getattr(tessera, name)(value) is None, name
    for name in ["gpa_age", "check_gpa_no_expired", "id_verdict"]:
        assert getattr(tessera, name)(value, today=DAY) is None, name


def test_only_invalid_numbers_are_not_valid():
    frame = pd.DataFrame({"order": [1, 2, 3, 4], "card": [VISA, None, "4111111111111112", np.nan]})
    assert frame.loc[~tessera.check_card(frame.card), "order"].tolist() == [3]


@pytest.mark.parametrize("series", [
    pd.Series(["4111111111111111", None, "378282246310005"]),
    pd.Series(["4111111111111111", pd.NA, "378282246310005"], dtype="string"),
    pd.Series(["4111111111111111", np.nan, "378282246310005"]),
], ids=["None", "pandas.NA", "NaN"])
def test_a_series_with_a_missing_value(series):
    assert tessera.check_card(series).tolist() == [True, pd.NA, True]
    frame = tessera.card_verdict(series)
    assert frame.to_dict("list") == {"valid": [True, pd.NA, True], "brand": ["Visa", np.nan, "American Express"],
                                     "checksum": [True, pd.NA, True]}
    assert frame.dtypes.astype(str).tolist() == ["boolean", "category", "boolean"]


def test_a_column_with_no_value_at_all():
    empty_csv_column = pd.Series([np.nan, np.nan])  # float64, as read_csv reads an empty column
    assert tessera.check_card(empty_csv_column).tolist() == [pd.NA, pd.NA]


EMPTY = [[], (), iter([]), np.array([], dtype=object), np.array([], dtype="U1"), np.array([], dtype="S1"),
         pd.Series([], dtype=object), pd.Series([], dtype="float64"), pd.Series([], dtype="string")]


@pytest.mark.parametrize("column", EMPTY, ids=lambda c: type(c).__name__ + str(getattr(c, "dtype", "")))
def test_empty_columns(column):
    column = list(column) if isinstance(column, type(iter([]))) else column
    series = isinstance(column, pd.Series)
    assert tessera.check_card(column).shape == (0,)
    assert tessera.check_card(column).dtype == ("boolean" if series else np.bool_)
    assert tessera.gpa_age(column, DAY).dtype == ("Int32" if series else np.int32)
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
    assert frame.age.dtype == "Int32"


def test_verdicts_without_pandas_are_arrays(monkeypatch):
    monkeypatch.setattr(tessera._columns, "_pandas", lambda: None)
    verdicts = tessera.card_verdict(["4111111111111111", "x"])
    assert {name: answers.tolist() for name, answers in verdicts.items()} == {
        "valid": [True, False], "brand": ["Visa", "none"], "checksum": [True, True]}  # "x": no digits, sum 0


# Rows that are no text: (column, how the error names the row, what the row is).
NOT_TEXT_ROWS = [
    ([True], "row 0", "bool"),
    (["4111111111111111", object()], "row 1", "object"),
    (np.array([True, False]), "row 0", "bool"),
    (pd.Series(["4111111111111111", object()], index=["a", "b"]), "the row labelled 'b'", "object"),
    (pd.Series([1j], index=[7]), "the row labelled 7", "complex"),
]


@pytest.mark.parametrize("column, row, kind", NOT_TEXT_ROWS, ids=lambda v: type(v).__name__)
def test_a_row_that_is_not_a_text(column, row, kind):
    with pytest.raises(TypeError, match=f"^check_card\\(\\): {row} is {kind}, not a str"):
        tessera.check_card(column)


# An integer is its decimal digits: (number, valid card, masked, why).
INTEGERS = [
    (4111111111111111, True, "411111******1111", "Visa"),
    (378282246310005, True, "378282*****0005", "American Express"),
    (4111111111111112, False, "411111******1112", "Visa's length and prefix, checksum fails"),
    (0, False, "0", "the digit 0: no brand"),
    (-4111111111111111, False, "-411111******1111", "the minus sign is a character: 17 characters"),
]
ONE_INTEGER = {"int": int, "numpy.int64": np.int64, "numpy.uint64": np.uint64, "numpy.longlong": np.longlong}
INTEGER_COLUMNS = {
    "list": list,
    "int64 array": lambda numbers: np.array(numbers, dtype=np.int64),
    "object array of numpy.int64": lambda numbers: np.array([np.int64(n) for n in numbers], dtype=object),
    "Series as read_csv reads it":
        lambda numbers: pd.read_csv(io.StringIO("card\n" + "\n".join(map(str, numbers))))["card"],
    "Int64 Series": lambda numbers: pd.Series(numbers, dtype="Int64"),
}


@pytest.mark.parametrize("form, number, valid, masked", [
    (form, *row[:3]) for row in INTEGERS for form in ONE_INTEGER if row[0] >= 0 or form != "numpy.uint64"])
def test_one_integer_is_its_digits(form, number, valid, masked):
    value = ONE_INTEGER[form](number)
    assert tessera.check_card(value) is valid
    assert tessera.mask_card(value) == masked


@pytest.mark.parametrize("form", INTEGER_COLUMNS)
def test_a_column_of_integers_is_their_digits(form):
    column = INTEGER_COLUMNS[form]([number for number, *_ in INTEGERS])
    assert tessera.check_card(column).tolist() == [valid for _, valid, _, _ in INTEGERS]
    assert tessera.mask_card(column).tolist() == [masked for _, _, masked, _ in INTEGERS]


FLOAT_ADVICE = "the digits of a number may be lost in a float; .*dtype=str"
FLOATS = [4.5, 4.111111111111111e15, np.float64(4.5), np.float32(4.5), np.float16(4.5), np.longdouble(4.5)]


@pytest.mark.parametrize("value", FLOATS, ids=lambda v: type(v).__name__)
def test_one_float_is_refused(value):
    for name in ["check_card", "mask_card", "card_verdict"]:
        with pytest.raises(TypeError, match=f"^{name}\\(\\) takes no float: {FLOAT_ADVICE}"):
            getattr(tessera, name)(value)


# Columns holding a float: (column, how the error names the row).
FLOAT_COLUMNS = [
    ([VISA, None, 4.5], "row 2"),
    (np.array([np.nan, 4.111111111111111e15]), "row 1"),
    (np.array([4.5], dtype=np.float32), "row 0"),
    (pd.read_csv(io.StringIO("card\n\n4111111111111111\n"), skip_blank_lines=False)["card"], "the row labelled 1"),
    (pd.Series([np.nan, 4.5], index=["a", "b"]), "the row labelled 'b'"),
]


@pytest.mark.parametrize("column, row", FLOAT_COLUMNS, ids=lambda v: type(v).__name__)
def test_a_column_holding_a_float_is_refused(column, row):
    with pytest.raises(TypeError, match=f"^check_card\\(\\): {row} is a float: {FLOAT_ADVICE}"):
        tessera.check_card(column)


def test_a_series_keeps_its_index_and_name():
    series = pd.Series([VISA, "4111111111111112"], index=pd.Index([10, 3], name="order"), name="card")
    for name in ["check_card", "gpa_age", "card_brand", "mask_card"]:
        answers = tessera.__dict__[name](series)
        assert isinstance(answers, pd.Series), name
        assert (answers.index.equals(series.index), answers.index.name, answers.name) == (True, "order", "card")
    assert tessera.check_card(series).tolist() == [True, False]
    assert tessera.mask_card(pd.Series([b"4111111111111111"])).tolist() == [b"411111******1111"]


def test_a_whole_frame_is_not_a_column():
    with pytest.raises(TypeError, match="df\\['number'\\]"):
        tessera.check_card(pd.DataFrame({"number": ["4111111111111111"]}))


def test_columns_in_threads_at_once():
    column = CARD_TEXTS * 2000
    expected = [card_answer("check_card", brand, luhn) for _, brand, luhn, _ in CARD_ROWS] * 2000
    results = [None] * 4

    def work(slot):
        results[slot] = tessera.check_card(column).tolist()

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4
