"""tessera -- Python bindings for the Tessera checks, through ctypes.

Loads the Tessera library (Tessera.DLL on Windows, libtessera.so.1
elsewhere, or the file named by the TESSERA_LIBRARY environment variable)
and offers the twelve checks twice: as the raw functions, which answer -1
for yes and 0 for no like the library itself, and as Pythonic wrappers that
answer bool (gpa_age answers the age, 0 for a number that is not valid).

    >>> import tessera
    >>> tessera.check_card("4111111111111111")
    True
    >>> tessera.CheckCard(b"4111111111111111")
    -1
"""

import ctypes
import os
import sys

__all__ = [
    "is_amex", "is_dc", "is_disc", "is_jcb", "is_mc", "is_visa",
    "check_organization", "check_number", "check_card",
    "check_gpa_no", "check_gpa_no_expired", "gpa_age",
]

_NAMES = (
    "IsAmex", "IsDC", "IsDisc", "IsJCB", "IsMC", "IsVisa",
    "CheckOrganization", "CheckNumber", "CheckCard",
    "CheckGPANo", "CheckGPANoExpired", "CheckGPANoAge",
)


def _load():
    path = os.environ.get("TESSERA_LIBRARY")
    if sys.platform == "win32":
        # The 32-bit module uses stdcall; WinDLL is right for 64-bit too.
        return ctypes.WinDLL(path or "Tessera.DLL")
    return ctypes.CDLL(path or "libtessera.so.1")


_library = _load()

for _name in _NAMES:
    _function = getattr(_library, _name)
    _function.argtypes = [ctypes.c_char_p]
    _function.restype = ctypes.c_int32
    globals()[_name] = _function
    __all__.append(_name)


def _text(number):
    # The checks take 8-bit text; a str is passed byte for byte (Latin-1).
    return number if isinstance(number, bytes) else number.encode("latin-1")


def is_amex(number): return IsAmex(_text(number)) != 0
def is_dc(number): return IsDC(_text(number)) != 0
def is_disc(number): return IsDisc(_text(number)) != 0
def is_jcb(number): return IsJCB(_text(number)) != 0
def is_mc(number): return IsMC(_text(number)) != 0
def is_visa(number): return IsVisa(_text(number)) != 0
def check_organization(number): return CheckOrganization(_text(number)) != 0
def check_number(number): return CheckNumber(_text(number)) != 0
def check_card(number): return CheckCard(_text(number)) != 0
def check_gpa_no(number): return CheckGPANo(_text(number)) != 0
def check_gpa_no_expired(number): return CheckGPANoExpired(_text(number)) != 0
def gpa_age(number): return CheckGPANoAge(_text(number))
