"""tables.py -- the case tables of the C++ tests, read from their headers, for every binding's tests

The rows live once, in cards.h, gpa.h, dates.h and nul.h; this module reads
their initialisers as they stand and offers them as rows of Python values
(brands by the names the library prints) and as probes: one function called
on one text, with the answer the row says it must give. Front ends render
the probes in their own syntax. The functions and what they answer come
from the library's table of operations, through the Python package's copy
of it (bindings/python/tessera/_operations.py).
"""

import dataclasses
import datetime
import re
import runpy
import types
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]


def _load_operations():
    path = ROOT / "bindings" / "python" / "tessera" / "_operations.py"
    return types.SimpleNamespace(**runpy.run_path(str(path)))


_operations = _load_operations()
# Operation(name, export, answer, brand, dated), in the order of the table.
OPERATIONS = _operations.OPERATIONS
# The brand tests, each with the name of the brand it asks about.
BRAND_TESTS = {op.name: op.brand for op in OPERATIONS if op.brand}
# The operations a database offers: those whose answers SQL can hold (not the verdicts).
SQL_OPERATIONS = [op for op in OPERATIONS if op.answer in ("bool", "age", "brand", "masked")]


@dataclasses.dataclass(frozen=True)
class Probe:
    function: str  # an operation's name
    text: str  # one character per byte
    expected: object  # bool, int, str or None (no brand)
    why: str
    day: datetime.date | None = None  # for the dated operations


# -- reading the headers ------------------------------------------------------

_TOKEN = re.compile(r'\s+|//[^\n]*|/\*.*?\*/|"(?:[^"\\]|\\.)*"(?:sv)?|[A-Za-z_][A-Za-z_0-9:]*|-?\d+|[{}(),;=\[\]*&<>]|.',
                    re.S)
_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", '"': '"', "'": "'"}


def _unescape(literal):
    """A C string literal's characters, each of one byte."""
    body = literal[1:literal.rindex('"')]
    out, i = [], 0
    while i < len(body):
        if body[i] != "\\":
            out.append(body[i])
            i += 1
        elif body[i + 1] == "x":
            digits = re.match(r"[0-9A-Fa-f]+", body[i + 2:]).group()
            out.append(chr(int(digits, 16)))
            i += 2 + len(digits)
        elif body[i + 1] in "01234567":
            digits = re.match(r"[0-7]{1,3}", body[i + 1:]).group()
            out.append(chr(int(digits, 8)))
            i += 1 + len(digits)
        else:
            out.append(_ESCAPES[body[i + 1]])
            i += 2
    return "".join(out)


def _tokens(source):
    for match in _TOKEN.finditer(source):
        token = match.group()
        if not token.isspace() and not token.startswith(("//", "/*")):
            yield token


def _value(tokens, i, names):
    """The initialiser at tokens[i] (a brace list, a literal or a name) and the next index."""
    token = tokens[i]
    if token == "{":
        items, i = [], i + 1
        while tokens[i] != "}":
            item, i = _value(tokens, i, names)
            items.append(item)
            if tokens[i] == ",":
                i += 1
        return items, i + 1
    if token.startswith('"'):
        text = _unescape(token)
        while tokens[i + 1].startswith('"'):  # adjacent literals join
            i += 1
            text += _unescape(tokens[i])
        return text, i + 1
    if re.fullmatch(r"-?\d+", token):
        return int(token), i + 1
    if token in ("true", "false"):
        return token == "true", i + 1
    return names.get(token, token), i + 1


def read_header(name):
    """Every `NAME[] = {...}` table and `NAME = "..."` constant of a header, by name."""
    tokens = list(_tokens((HERE / name).read_text(encoding="latin-1")))
    found = {}
    for i, token in enumerate(tokens):
        if token != "=" or i < 1:
            continue
        if tokens[i - 1] == "]" and tokens[i - 2] == "[":
            found[tokens[i - 3]], _ = _value(tokens, i + 1, found)
        elif tokens[i + 1].startswith('"') and re.fullmatch(r"k[A-Z]\w*", tokens[i - 1]):
            found[tokens[i - 1]], _ = _value(tokens, i + 1, found)
    return found


def _brand_names(cards):
    """The CardBrand enumerators of cards.h and the names NameOf gives them."""
    text = (HERE / "cards.h").read_text(encoding="latin-1")
    enumerators = re.search(r"enum class CardBrand \{([^}]*)\}", text).group(1).replace(" ", "").split(",")
    return dict(zip(enumerators, cards["kNames"]))


def make_gpa(document, birth, expiry):
    """A GPA number with right check digits around the given fields, for dates only known at run time."""
    def with_check(field):
        total = sum((int(c) if c.isdigit() else 0) * (7, 3, 1)[i % 3] for i, c in enumerate(field))
        return field + str(total % 10)

    blocks = [with_check(document), with_check(birth), with_check(expiry)]
    overall = with_check("".join(blocks))
    return blocks[0] + "0-" + blocks[1] + "-" + blocks[2] + "-" + overall[-1]


# -- the rows -----------------------------------------------------------------

_cards = read_header("cards.h")
_gpa = read_header("gpa.h")
_dates = read_header("dates.h")
_nul = read_header("nul.h")
_names = _brand_names(_cards)

# The names the library prints for the brands, in the order of their codes.
BRAND_NAMES = _cards["kNames"]
WORKED_GPA = _gpa["kWorkedGpa"]
# (text, brand name, passes the Luhn checksum, why)
CARD_ROWS = [(text, _names[brand], luhn, why) for table in
             ("kBrandLengthCases", "kBrandPrefixCases", "kLuhnCases", "kCardCases")
             for text, brand, luhn, why in _cards[table]]
# (text, a GPA number with right check digits, why)
GPA_ROWS = [tuple(row) for row in _gpa["kGpaLayoutCases"] + _gpa["kGpaMutationCases"]]
# (number, (year, month, day), unexpired, age, why)
DATE_ROWS = [(number, tuple(day), unexpired, age, why) for number, day, unexpired, age, why in
             _dates["kExpiryCases"] + _dates["kAgeCases"]]
# (number, masked, why)
MASK_ROWS = [tuple(row) for row in _cards["kMaskCases"]]
# The same, of texts holding NUL bytes, which only length-aware callers can pass.
NUL_CARD_ROWS = [(text, _names[brand], luhn, why) for text, brand, luhn, why in _nul["kNulCardCases"]]
NUL_GPA_ROWS = [tuple(row) for row in _nul["kNulGpaCases"]]
NUL_MASK_ROWS = [tuple(row) for row in _nul["kNulMaskCases"]]


def card_answer(function, brand, luhn):
    """What a card row says one function answers, from its brand name and its checksum."""
    if function in BRAND_TESTS:
        return brand == BRAND_TESTS[function]
    return {"check_organization": brand != "none", "check_number": luhn, "check_card": brand != "none" and luhn,
            "card_brand": brand}[function]


# -- the probes ---------------------------------------------------------------

def card_probes(rows=CARD_ROWS):
    """Every card check on every row; card_brand gives None for no brand, as SQL does."""
    functions = list(BRAND_TESTS) + ["check_organization", "check_number", "check_card", "card_brand"]
    return [Probe(function, text, None if function == "card_brand" and brand == "none"
                  else card_answer(function, brand, luhn), why)
            for text, brand, luhn, why in rows for function in functions]


def gpa_probes(rows=GPA_ROWS):
    probes = []
    any_day = datetime.date(2026, 12, 8)
    for text, valid, why in rows:
        probes.append(Probe("check_gpa_no", text, valid, why))
        if not valid:
            probes.append(Probe("check_gpa_no_expired", text, False, why + ": not a GPA number", any_day))
            probes.append(Probe("gpa_age", text, 0, why + ": not a GPA number", any_day))
    return probes


def date_probes():
    probes = []
    for number, day, unexpired, age, why in DATE_ROWS:
        today = datetime.date(*day)
        probes.append(Probe("check_gpa_no", number, True, why))
        probes.append(Probe("check_gpa_no_expired", number, unexpired, why, today))
        probes.append(Probe("gpa_age", number, age, why, today))
    return probes


def mask_probes(rows=MASK_ROWS):
    return [Probe("mask_card", text, masked, why) for text, masked, why in rows]


def all_probes():
    """Every row of the texts without NUL bytes."""
    return card_probes() + gpa_probes() + date_probes() + mask_probes()


def nul_probes():
    """Every row of the texts that hold NUL bytes."""
    return card_probes(NUL_CARD_ROWS) + gpa_probes(NUL_GPA_ROWS) + mask_probes(NUL_MASK_ROWS)


def worked_gpa():
    return WORKED_GPA


# -- reporting ----------------------------------------------------------------

class Tally:
    """Counts checks, prints each failure, and ends with the summary line scripts read."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAILED: {what}" + (f"\n  {detail}" if detail else ""), flush=True)
        return ok

    def equal(self, got, expected, what):
        return self.check(got == expected, what, f"got {got!r}, expected {expected!r}")

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 0 if self.failed == 0 and self.passed > 0 else 1
