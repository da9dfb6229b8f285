"""Card numbers inside free text: find_cards, redact and contains_card.

    >>> import tessera
    >>> tessera.find_cards("paid with 4111 1111 1111 1111 today")
    [Finding(start=10, end=29, brand='Visa', masked='4111 11** **** 1111')]
    >>> tessera.redact("paid with 4111 1111 1111 1111 today")
    'paid with **** **** **** 1111 today'
    >>> tessera.contains_card("order 9941111111111111119")
    False

The finder is the one of `tessera scan` and the redactor that of `tessera
redact`. A str gives a str with offsets in characters; bytes give bytes with
offsets in bytes. A missing value (None) gives None.
"""

from typing import NamedTuple

from . import _scan as _c


class Finding(NamedTuple):
    start: int   # of the first digit
    end: int     # after the last digit
    brand: str   # "none" only with luhn_only=True
    masked: str  # the first six and the last four digits shown


_FORMS = {"last4": _c.MASK, "first6last4": _c.FIRST6LAST4}


def find_cards(text, luhn_only=False):
    """The card numbers in `text`, in order."""
    if text is None:
        return None
    return [Finding(*row) for row in _c.find(text, luhn_only)]


def redact(text, mask="last4", replace=None, luhn_only=False):
    """`text` with every card number masked ("last4" or "first6last4") or replaced by `replace`."""
    if text is None:
        return None
    if replace is not None:
        return _c.redact(text, _c.REPLACE, replace, luhn_only)
    if mask not in _FORMS:
        raise ValueError("mask must be 'last4' or 'first6last4', not %r" % (mask,))
    return _c.redact(text, _FORMS[mask], "", luhn_only)


def contains_card(text, luhn_only=False):
    """Whether `text` holds a card number."""
    if text is None:
        return None
    return _c.contains(text, luhn_only)
