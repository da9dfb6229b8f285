"""_ctypes -- the package's functions over the exports of Tessera.DLL, through ctypes.

For Windows hosts that have Tessera.DLL but not the package's extension
module: the package uses this module when the extension is missing there.
Elsewhere it can be imported by itself to call a built library. The library
is Tessera.DLL on Windows and libtessera.so.1 elsewhere, or the file named by
the TESSERA_LIBRARY environment variable.

The exports take NUL-terminated text and read the local clock, so here
  - a text holding a NUL byte raises ValueError("embedded null byte"),
  - `today` may only be None or the local date (else ValueError),
  - mask_card raises NotImplementedError (the library exports no masking),
  - columns are checked one number at a time, in Python.
Everything else answers as the extension module does.
"""

import ctypes
import datetime
import importlib.metadata
import os
import sys
from collections import namedtuple

try:
    from ._version import __version__  # written into the copy that the Windows archive holds
except ImportError:
    try:
        __version__ = importlib.metadata.version("tessera")
    except importlib.metadata.PackageNotFoundError:
        __version__ = "unknown"

from ._operations import BRANDS, OPERATIONS

_OPS = {op.name: number for number, op in enumerate(OPERATIONS)}
_EXPORT_OF = {op.name: op.export for op in OPERATIONS if op.export}
# The brand tests, each with the brand it asks about; a number has one brand at most.
_BRAND_TESTS = [(op.brand, op.export) for op in OPERATIONS if op.brand]
_DATED = {op.name for op in OPERATIONS if op.dated}

CardVerdict = namedtuple("CardVerdict", "valid brand checksum")
CardVerdict.__module__ = "tessera"
IdVerdict = namedtuple("IdVerdict", "valid check_digits unexpired age")
IdVerdict.__module__ = "tessera"


def _load():
    path = os.environ.get("TESSERA_LIBRARY")
    if sys.platform == "win32":
        # The 32-bit module uses stdcall; WinDLL is right for 64-bit too.
        return ctypes.WinDLL(path or "Tessera.DLL")
    return ctypes.CDLL(path or "libtessera.so.1")


_library = _load()
_exports = {}
for _name in _EXPORT_OF.values():
    _function = getattr(_library, _name)
    _function.argtypes = [ctypes.c_char_p]
    _function.restype = ctypes.c_int32
    _exports[_name] = _function

_column_hook = None


def _set_column_hook(hook):
    global _column_hook
    _column_hook = hook


_MISSING = object()  # None, or NaN of any float type
_FLOAT = object()  # any other float
_FLOAT_ADVICE = ("the digits of a number may be lost in a float; pass the numbers as text, "
                 "and read such a column as text: pandas.read_csv(..., dtype=str)")


def _numpy_type(name):
    numpy = sys.modules.get("numpy")
    return getattr(numpy, name) if numpy is not None else ()


def _text(number):
    """The bytes to check; None for a str beyond Latin-1; _MISSING or _FLOAT; NotImplemented for what is
    not a text (a column, or a type error)."""
    if isinstance(number, str):
        try:
            data = number.encode("latin-1")
        except UnicodeEncodeError:
            return None
    elif isinstance(number, (bytes, bytearray, memoryview)):
        data = bytes(number)
    elif number is None:
        return _MISSING
    elif isinstance(number, (bool, _numpy_type("bool_"), _numpy_type("timedelta64"))):
        return NotImplemented
    elif isinstance(number, (int, _numpy_type("integer"))):
        data = str(int(number)).encode("ascii")  # an integer is its decimal digits
    elif isinstance(number, (float, _numpy_type("floating"))):
        return _MISSING if number != number else _FLOAT
    else:
        return NotImplemented
    if b"\0" in data:
        raise ValueError("embedded null byte")
    return data


def _check_today(today):
    if today is None:
        return
    if not isinstance(today, datetime.date):
        raise TypeError(f"today must be a datetime.date, not {type(today).__name__}")
    if today.timetuple()[:3] != datetime.date.today().timetuple()[:3]:
        raise ValueError("Tessera.DLL judges expiry and age by the local date only")


def _answer(name, data):
    """One number's answer; `data` None stands for a str beyond Latin-1."""
    answer = OPERATIONS[_OPS[name]].answer
    if name in _EXPORT_OF:
        value = _exports[_EXPORT_OF[name]](data) if data is not None else 0
        return value if answer == "age" else value != 0
    # The answers the exports give only in parts.
    if answer == "brand":
        return next((brand for brand, test in _BRAND_TESTS if data is not None and _exports[test](data)), BRANDS[0])
    if answer == "card_verdict":
        return CardVerdict(_answer("check_card", data), _answer("card_brand", data), _answer("check_number", data))
    if answer == "id_verdict":
        check_digits, unexpired = _answer("check_gpa_no", data), _answer("check_gpa_no_expired", data)
        return IdVerdict(check_digits and unexpired, check_digits, unexpired, _answer("gpa_age", data))
    raise NotImplementedError("Tessera.DLL exports no masking; install the tessera package with its extension")


def _public(name):
    op = _OPS[name]
    dated = name in _DATED
    # The checks that answer yes or no are one export each: answered without going through _answer.
    export = _exports[_EXPORT_OF[name]] if OPERATIONS[op].answer == "bool" and name in _EXPORT_OF else None

    def check(number, /, today=None):
        if dated:
            _check_today(today)
        data = _text(number)
        if data is _MISSING:
            return None
        if data is _FLOAT:
            raise TypeError(f"{name}() takes no float: {_FLOAT_ADVICE}")
        if data is NotImplemented:
            if _column_hook is None:
                raise TypeError(f"{name}() expects a str, a bytes-like object or an integer, "
                                f"not {type(number).__name__}")
            return _column_hook(op, number, today)
        if export is not None:
            return data is not None and export(data) != 0
        return _answer(name, data)

    check.__name__ = check.__qualname__ = name
    return check


def _judge_objects(op, items, today, missing, labels):
    """A column, in the raw form the extension module gives it: (answers, missing rows or None)."""
    name = OPERATIONS[op].name
    answers, absent = [], bytearray()
    for row, item in enumerate(items):
        data = _MISSING if any(item is m for m in missing) else _text(item)
        if data is NotImplemented or data is _FLOAT:
            where = f"row {row}" if labels is None else f"the row labelled {labels[row]!r}"
            if data is _FLOAT:
                raise TypeError(f"{name}(): {where} is a float: {_FLOAT_ADVICE}")
            raise TypeError(f"{name}(): {where} is {type(item).__name__}, "
                            "not a str, a bytes-like object, an integer or a missing value")
        absent.append(data is _MISSING)
        if OPERATIONS[op].answer == "masked":
            answers.append(None if data is _MISSING else _answer(name, data))
        else:
            answers.append(_answer(name, None if data is _MISSING else data))
    absent = absent if any(absent) else None
    answer = OPERATIONS[op].answer
    if answer == "masked":
        return answers, absent
    if answer == "age":
        return b"".join(age.to_bytes(4, sys.byteorder, signed=True) for age in answers), absent
    if answer == "brand":
        return bytes(BRANDS.index(brand) for brand in answers), absent
    if answer == "card_verdict":
        return (bytearray(v.valid for v in answers), bytearray(BRANDS.index(v.brand) for v in answers),
                bytearray(v.checksum for v in answers)), absent
    if answer == "id_verdict":
        return (bytearray(v.valid for v in answers), bytearray(v.check_digits for v in answers),
                bytearray(v.unexpired for v in answers),
                b"".join(v.age.to_bytes(4, sys.byteorder, signed=True) for v in answers)), absent
    return bytearray(answers), absent


for _name in _OPS:
    globals()[_name] = _public(_name)

from ._columns import ColumnHook  # noqa: E402  (it reads this module's names)

_set_column_hook(ColumnHook(sys.modules[__name__]))
