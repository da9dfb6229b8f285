"""tables.py -- the C++ tests' case tables, read from their headers, for tests in other languages

The rows stay where they are (cards.h, gpa.h, dates.h); this module reads
their initialisers and turns each row into probes: one function called on
one text, with the answer the row's brand, checksum, validity, expiry or
age says it must give. Front ends render the probes in their own syntax.
"""

import dataclasses
import datetime
import re
from pathlib import Path

HERE = Path(__file__).resolve().parent

BRAND_FUNCTIONS = {  # the brand each is_* function asks about
    "Amex": "is_amex",
    "DinersClub": "is_dc",
    "Discover": "is_disc",
    "Jcb": "is_jcb",
    "MasterCard": "is_mc",
    "Visa": "is_visa",
}
BRAND_NAMES = {
    "Amex": "American Express",
    "DinersClub": "Diners Club",
    "Discover": "Discover",
    "Jcb": "JCB",
    "MasterCard": "MasterCard",
    "Visa": "Visa",
}

# Hand-derived from the masking rule: the first six and the last four
# digits stay, every other digit becomes "*", anything else stays put.
MASK_CASES = [
    ("4111111111111111", "411111******1111", "sixteen digits: six shown, six hidden, four shown"),
    ("4111 1111 1111 1111", "4111 11** **** 1111", "spaces kept where they stand"),
    ("4111-1111-1111-1111", "4111-11**-****-1111", "dashes kept where they stand"),
    ("378282246310005", "378282*****0005", "fifteen digits"),
    ("4222222222222", "422222***2222", "thirteen digits"),
    ("12345678901", "123456*8901", "eleven digits: one hidden"),
    ("1234567890", "1234567890", "ten digits: all shown"),
    ("12345", "12345", "fewer digits than are shown"),
    ("card 4111111111111111 ok", "card 411111******1111 ok", "letters around the number kept"),
    ("ABC", "ABC", "no digits"),
    ("", "", "the empty text"),
]


@dataclasses.dataclass(frozen=True)
class Probe:
    function: str  # is_amex ... gpa_age, mask_card, card_brand
    text: str
    expected: object  # bool, int, str or None
    why: str
    day: datetime.date | None = None  # for check_gpa_no_expired and gpa_age


# -- reading the headers ------------------------------------------------------

_TOKEN = re.compile(r'\s+|//[^\n]*|/\*.*?\*/|"(?:[^"\\]|\\.)*"|[A-Za-z_][A-Za-z_0-9:]*|-?\d+|[{}(),;=\[\]*&<>]|.', re.S)
_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "\\": "\\", '"': '"', "'": "'"}


def _unescape(literal):
    body = literal[1:-1]
    out, i = [], 0
    while i < len(body):
        if body[i] != "\\":
            out.append(body[i])
            i += 1
        elif body[i + 1] == "x":
            digits = re.match(r"[0-9A-Fa-f]+", body[i + 2:]).group()
            out.append(chr(int(digits, 16)))
            i += 2 + len(digits)
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
    tokens = list(_tokens((HERE / name).read_text()))
    found = {}
    for i, token in enumerate(tokens):
        if token != "=" or i < 1:
            continue
        if tokens[i - 1] == "]" and tokens[i - 2] == "[":
            found[tokens[i - 3]], _ = _value(tokens, i + 1, found)
        elif tokens[i + 1].startswith('"') and re.fullmatch(r"k[A-Z]\w*", tokens[i - 1]):
            found[tokens[i - 1]], _ = _value(tokens, i + 1, found)
    return found


def make_gpa(document, birth, expiry):
    """A GPA number with right check digits around the given fields, for dates only known at run time."""
    def with_check(field):
        total = sum((int(c) if c.isdigit() else 0) * (7, 3, 1)[i % 3] for i, c in enumerate(field))
        return field + str(total % 10)

    blocks = [with_check(document), with_check(birth), with_check(expiry)]
    overall = with_check("".join(blocks))
    return blocks[0] + "0-" + blocks[1] + "-" + blocks[2] + "-" + overall[-1]


# -- the probes ---------------------------------------------------------------

def card_probes():
    cards = read_header("cards.h")
    probes = []
    for table in ("kBrandLengthCases", "kBrandPrefixCases", "kLuhnCases", "kCardCases"):
        for text, brand, luhn, why in cards[table]:
            for row_brand, function in BRAND_FUNCTIONS.items():
                probes.append(Probe(function, text, brand == row_brand, why))
            probes += [
                Probe("check_organization", text, brand != "None", why),
                Probe("check_number", text, luhn, why),
                Probe("check_card", text, brand != "None" and luhn, why),
                Probe("card_brand", text, BRAND_NAMES.get(brand), why),
            ]
    return probes


def gpa_probes():
    gpa = read_header("gpa.h")
    probes = []
    any_day = datetime.date(2026, 12, 8)
    for table in ("kGpaLayoutCases", "kGpaMutationCases"):
        for text, valid, why in gpa[table]:
            probes.append(Probe("check_gpa_no", text, valid, why))
            if not valid:
                probes.append(Probe("check_gpa_no_expired", text, False, why + ": not a GPA number", any_day))
                probes.append(Probe("gpa_age", text, 0, why + ": not a GPA number", any_day))
    return probes


def date_probes():
    dates = read_header("dates.h")
    probes = []
    for table in ("kExpiryCases", "kAgeCases"):
        for number, (year, month, day), unexpired, age, why in dates[table]:
            today = datetime.date(year, month, day)
            probes.append(Probe("check_gpa_no", number, True, why))
            probes.append(Probe("check_gpa_no_expired", number, unexpired, why, today))
            probes.append(Probe("gpa_age", number, age, why, today))
    return probes


def mask_probes():
    return [Probe("mask_card", text, masked, why) for text, masked, why in MASK_CASES]


def all_probes():
    return card_probes() + gpa_probes() + date_probes() + mask_probes()


def worked_gpa():
    return read_header("gpa.h")["kWorkedGpa"]


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
