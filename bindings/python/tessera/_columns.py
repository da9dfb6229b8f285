"""_columns -- whole columns: lists and other iterables, NumPy arrays, pandas Series.

The backend copies the texts out and judges them all at once; this module
only finds the texts in what it is given and shapes the answers.
"""

import sys

_NOT_TEXT = "a str or bytes-like object, or a column of them (a list, an iterable, a NumPy array, a pandas Series)"


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
        self._names = {number: name for name, number in backend._OPS.items()}

    def __call__(self, op, column, today):
        name = self._names[op]
        if hasattr(column, "__dask_graph__"):
            raise TypeError(
                f"{name}() checks one partition at a time: "
                f"ddf.map_partitions(lambda part: part.assign(answer=tessera.{name}(part['number'])))")
        np = _numpy()
        pandas = sys.modules.get("pandas")
        missing = ()
        index = None
        if pandas is not None:
            missing = (pandas.NA, pandas.NaT)
            if isinstance(column, pandas.DataFrame):
                raise TypeError(f"{name}() takes one column of a DataFrame (df['number']), not the whole frame")
            if isinstance(column, pandas.Series):
                index = column.index
                column = column.to_numpy()
            elif isinstance(column, pandas.Index):
                column = column.to_numpy()
        if isinstance(column, np.ndarray):
            shape = column.shape
            raw = self._judge_array(np, op, np.asarray(column).reshape(-1), today, missing)
        else:
            if not isinstance(column, (list, tuple)):
                try:
                    iterator = iter(column)
                except TypeError:
                    raise TypeError(f"{name}() expects {_NOT_TEXT}, not {type(column).__name__}") from None
                column = list(iterator)
            shape = (len(column),)
            raw = self._backend._judge_objects(op, column, today, missing)
        return self._answer(np, name, raw, shape, index)

    def _judge_array(self, np, op, flat, today, missing):
        kind = flat.dtype.kind
        # Fixed-width str and bytes arrays are read in place, without an object per element.
        if kind in "SU" and flat.dtype.itemsize > 0 and hasattr(self._backend, "_judge_fixed"):
            if not flat.dtype.isnative:
                flat = flat.astype(flat.dtype.newbyteorder("="))
            flat = np.ascontiguousarray(flat)
            return self._backend._judge_fixed(op, flat, flat.dtype.itemsize, kind == "U", today)
        # Arrays of objects (pandas' str columns) are read in place, without a list of their elements.
        if kind == "O" and hasattr(self._backend, "_judge_object_array"):
            return self._backend._judge_object_array(op, np.ascontiguousarray(flat), today, missing)
        return self._backend._judge_objects(op, flat.tolist(), today, missing)

    def _answer(self, np, name, raw, shape, index):
        if name == "mask_card":
            masked = np.empty(len(raw), dtype=object)
            masked[:] = raw
            return masked.reshape(shape)
        if name == "gpa_age":
            return np.frombuffer(raw, dtype=np.int32).reshape(shape)
        if name == "card_brand":
            return np.array(self._backend.BRANDS, dtype=object)[np.frombuffer(raw, dtype=np.uint8)].reshape(shape)
        if name == "card_verdict":
            valid, brand, checksum = raw
            return self._frame(np, name, shape, index, {
                "valid": np.frombuffer(valid, dtype=np.bool_),
                "brand": np.frombuffer(brand, dtype=np.uint8),
                "checksum": np.frombuffer(checksum, dtype=np.bool_),
            })
        if name == "id_verdict":
            valid, check_digits, unexpired, age = raw
            return self._frame(np, name, shape, index, {
                "valid": np.frombuffer(valid, dtype=np.bool_),
                "check_digits": np.frombuffer(check_digits, dtype=np.bool_),
                "unexpired": np.frombuffer(unexpired, dtype=np.bool_),
                "age": np.frombuffer(age, dtype=np.int32),
            })
        return np.frombuffer(raw, dtype=np.bool_).reshape(shape)

    def _frame(self, np, name, shape, index, columns):
        if len(shape) != 1:
            raise ValueError(f"{name}() takes a one-dimensional column, not an array of shape {shape}")
        brands = self._backend.BRANDS
        pandas = _pandas()
        if pandas is None:
            if "brand" in columns:
                columns["brand"] = np.array(brands, dtype=object)[columns["brand"]]
            return columns
        if "brand" in columns:
            columns["brand"] = pandas.Categorical.from_codes(columns["brand"], categories=list(brands))
        return pandas.DataFrame(columns, index=index)
