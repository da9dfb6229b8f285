"""tessera -- payment card and GPA identity-document number checks, one number or whole columns.

    >>> import tessera
    >>> tessera.check_card("4111111111111111")
    True
    >>> tessera.card_verdict("4111111111111")
    tessera.CardVerdict(valid=False, brand='Visa', checksum=False)
    >>> tessera.check_card(["4111111111111111", "4111 1111 1111 1111"])
    array([ True, False])

One number is a str, read as Latin-1 (each character one byte), or a
bytes-like object, and is checked exactly as given: every character counts,
spaces and NUL bytes included, nothing is trimmed. A str with characters
beyond Latin-1 is never a valid number (False, 0, "none"). An integer (int
or NumPy's) is its decimal digits. A float raises TypeError, since the digits
of a card number may be lost in it: read such numbers as text. A missing
value (None, NaN of any float type, pandas.NA) gives None.

A column is any other iterable of these, a NumPy array, or a pandas Series,
computed in C with the GIL released. A Series gives a Series with the same
index, in a nullable dtype (boolean, Int32, string) with <NA> for missing
values; anything else gives a NumPy array, one answer per element, masked
(numpy.ma) where values were missing. card_verdict and id_verdict give a
pandas DataFrame for a column.

The date checks take `today` (a datetime.date, default the local date).
check_gpa_no_expired answers True while the document is still valid: True
means NOT expired.
"""

try:
    from . import _tessera as _backend
except ImportError:
    import sys as _sys

    # Windows hosts that have only Tessera.DLL: the same functions over its exports.
    if _sys.platform != "win32":
        raise
    from . import _ctypes as _backend

from . import _columns

__version__ = _backend.__version__

BRANDS = _backend.BRANDS
CardVerdict = _backend.CardVerdict
IdVerdict = _backend.IdVerdict

# Made from frame/operations.h (names): the tessera_bindings target writes it.
is_amex = _backend.is_amex
is_dc = _backend.is_dc
is_disc = _backend.is_disc
is_jcb = _backend.is_jcb
is_mc = _backend.is_mc
is_visa = _backend.is_visa
check_organization = _backend.check_organization
check_number = _backend.check_number
check_card = _backend.check_card
check_gpa_no = _backend.check_gpa_no
check_gpa_no_expired = _backend.check_gpa_no_expired
gpa_age = _backend.gpa_age
card_brand = _backend.card_brand
card_verdict = _backend.card_verdict
id_verdict = _backend.id_verdict
mask_card = _backend.mask_card

__all__ = [
    "BRANDS", "CardVerdict", "IdVerdict", "is_amex", "is_dc", "is_disc", "is_jcb", "is_mc",
    "is_visa", "check_organization", "check_number", "check_card", "check_gpa_no",
    "check_gpa_no_expired", "gpa_age", "card_brand", "card_verdict", "id_verdict", "mask_card",
]
# End of the part made from frame/operations.h (names).

_backend._set_column_hook(_columns.ColumnHook(_backend))

from ._findings import Finding, contains_card, find_cards, redact  # noqa: E402

__all__ += ["Finding", "contains_card", "find_cards", "redact"]
