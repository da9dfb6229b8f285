"""_columns -- whole columns: lists and other iterables, NumPy arrays, pandas Series.

The backend copies the texts out and judges them all at once; this module
only finds the texts in what it is given and shapes the answers: a pandas
Series in, a Series out with the same index in a nullable dtype; anything
else in, NumPy arrays out, masked where a value was missing.
"""

import sys

from ._operations import OPERATIONS

_NOT_TEXT = ("a str, a bytes-like object or an integer, or a column of them "
             "(a list, an iterable, a NumPy array, a pandas Series)")


def _numpy():
    try:
        import numpy
    except ImportError:
        raise ImportError("tessera's column functions need NumPy (Debian: python3-numpy)") from None
    return numpy


def _pandas():
    try:
        import pandas
    except ImportError:
        return None
    return pandas


class ColumnHook:
    """Called by every check with what is not one number."""

    def __init__(self, backend):
        self._backend = backend

    def __call__(self, op, column, today):
        name, answer = OPERATIONS[op].name, OPERATIONS[op].answer
        if hasattr(column, "__dask_graph__"):
            raise TypeError(
                f"{name}() checks one partition at a time: "
                f"ddf.map_partitions(lambda part: part.assign(answer=tessera.{name}(part['number'])))")
        pandas = sys.modules.get("pandas")
        missing = ()
        series = labels = None
        if pandas is not None:
            missing = (pandas.NA, pandas.NaT)
            if any(column is value for value in missing):
                return None  # one missing value, as None is
            if isinstance(column, pandas.DataFrame):
                raise TypeError(f"{name}() takes one column of a DataFrame (df['number']), not the whole frame")
            if isinstance(column, pandas.Series):
                series, labels = column, column.index
                column = column.to_numpy()
            elif isinstance(column, pandas.Index):
                column = column.to_numpy()
        np = _numpy()
        if isinstance(column, np.ndarray):
            shape = column.shape
            raw, absent = self._judge_array(np, op, np.asarray(column).reshape(-1), today, missing, labels)
        else:
            if not isinstance(column, (list, tuple)):
                try:
                    iterator = iter(column)
                except TypeError:
                    raise TypeError(f"{name}() expects {_NOT_TEXT}, not {type(column).__name__}") from None
                column = list(iterator)
            shape = (len(column),)
            raw, absent = self._backend._judge_objects(op, column, today, missing, labels)
        absent = None if absent is None else np.frombuffer(absent, dtype=np.bool_)
        if answer in ("card_verdict", "id_verdict"):
            return self._frame(np, name, answer, shape, series, raw, absent)
        answers = self._answers(np, answer, raw, absent)
        if series is not None:
            return self._series(np, pandas, answer, answers, absent, series)
        answers = answers.reshape(shape)
        if absent is None or answers.dtype == object:
            return answers
        return np.ma.MaskedArray(answers, mask=absent.reshape(shape))

    def _judge_array(self, np, op, flat, today, missing, labels):
        kind = flat.dtype.kind
        # Integers are their decimal digits; NumPy writes them as fixed-width str.
        if kind in "iu":
            flat, kind = flat.astype(str), "U"
        # Fixed-width str and bytes arrays are read in place, without an object per element.
        if kind in "SU" and flat.dtype.itemsize > 0 and hasattr(self._backend, "_judge_fixed"):
            if not flat.dtype.isnative:
                flat = flat.astype(flat.dtype.newbyteorder("="))
            flat = np.ascontiguousarray(flat)
            return self._backend._judge_fixed(op, flat, flat.dtype.itemsize, kind == "U", today)
        # Arrays of objects (pandas' str columns) are read in place, without a list of their elements.
        if kind == "O" and hasattr(self._backend, "_judge_object_array"):
            return self._backend._judge_object_array(op, np.ascontiguousarray(flat), today, missing, labels)
        # Floats among them: NaN is missing, any other float is refused by the backend.
        return self._backend._judge_objects(op, flat.tolist(), today, missing, labels)

    def _answers(self, np, answer, raw, absent):
        """The answers as one flat NumPy array; missing rows hold False or 0, or None where objects are."""
        if answer == "masked":
            masked = np.empty(len(raw), dtype=object)
            masked[:] = raw
            return masked
        if answer == "age":
            return np.frombuffer(raw, dtype=np.int32)
        if answer == "brand":
            brands = np.array(self._backend.BRANDS, dtype=object)[np.frombuffer(raw, dtype=np.uint8)]
            if absent is not None:
                brands[absent] = None
            return brands
        return np.frombuffer(raw, dtype=np.bool_)

    def _series(self, np, pandas, answer, answers, absent, series):
        mask = np.zeros(len(answers), dtype=np.bool_) if absent is None else absent.copy()
        if answer == "age":
            values = pandas.arrays.IntegerArray(answers.copy(), mask)
        elif answer == "bool":
            values = pandas.arrays.BooleanArray(answers.copy(), mask)
        elif all(isinstance(answer, str) for answer in answers[~mask]):
            values = pandas.array(answers, dtype="string")
        else:  # mask_card of bytes: bytes back, as for one number
            values = answers
        return pandas.Series(values, index=series.index, name=series.name)

    def _frame(self, np, name, answer, shape, series, raw, absent):
        if len(shape) != 1:
            raise ValueError(f"{name}() takes a one-dimensional column, not an array of shape {shape}")
        if answer == "card_verdict":
            valid, brand, checksum = raw
            columns = {"valid": np.frombuffer(valid, dtype=np.bool_), "brand": np.frombuffer(brand, dtype=np.uint8),
                       "checksum": np.frombuffer(checksum, dtype=np.bool_)}
        else:
            valid, check_digits, unexpired, age = raw
            columns = {"valid": np.frombuffer(valid, dtype=np.bool_),
                       "check_digits": np.frombuffer(check_digits, dtype=np.bool_),
                       "unexpired": np.frombuffer(unexpired, dtype=np.bool_), "age": np.frombuffer(age, dtype=np.int32)}
        brands = self._backend.BRANDS
        pandas = _pandas()
        if pandas is None:
            if "brand" in columns:
                columns["brand"] = np.array(brands, dtype=object)[columns["brand"]]
            if absent is not None:
                columns = {key: np.ma.MaskedArray(value, mask=absent) for key, value in columns.items()}
            return columns
        mask = np.zeros(shape[0], dtype=np.bool_) if absent is None else absent
        for key, value in columns.items():
            if key == "brand":
                columns[key] = pandas.Categorical.from_codes(np.where(mask, -1, value.astype(np.int8)),
                                                             categories=list(brands))
            elif key == "age":
                columns[key] = pandas.arrays.IntegerArray(value.copy(), mask.copy())
            else:
                columns[key] = pandas.arrays.BooleanArray(value.copy(), mask.copy())
        return pandas.DataFrame(columns, index=None if series is None else series.index)
