"""cases -- the rows of the library's shared case tables (tests/cases/*.h), read as they stand.

The C++ tests and these tests check the same rows; a row added there is
checked here too. Each table is a list of tuples of its fields, in order:
strings as str (one character per byte), true/false as bool, numbers as
int, braces as tuples, other names as they are written.
"""

import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[3]
CASES = ROOT / "tests" / "cases"

_TOKEN = re.compile(r'"(?:[^"\\]|\\.)*"|[{},]|[A-Za-z_]\w*|-?\d+')


def _literal(token):
    return token[1:-1].encode("latin-1").decode("unicode_escape")


def _value(token, constants):
    if token.startswith('"'):
        return _literal(token)
    if token in ("true", "false"):
        return token == "true"
    if token.lstrip("-").isdigit():
        return int(token)
    return constants.get(token, token)


def _parse(tokens, constants):
    """Nested braces into tuples."""
    stack = [[]]
    for token in tokens:
        if token == "{":
            stack.append([])
        elif token == "}":
            done = tuple(stack.pop())
            stack[-1].append(done)
        elif token != ",":
            stack[-1].append(_value(token, constants))
    return stack[0]


def read(header):
    """{table name: [row, ...]} of one header, and its string constants."""
    text = (CASES / header).read_text(encoding="latin-1")
    constants = {name: _literal(value) for name, value in
                 re.findall(r'constexpr const char\* (k\w+) = ("(?:[^"\\]|\\.)*");', text)}
    tables = {}
    for name, body in re.findall(r"constexpr \w+ (k\w+)\[\] = \{(.*?)\n\};", text, re.S):
        body = re.sub(r"//[^\n]*", "", body)
        tables[name] = _parse(_TOKEN.findall(body), constants)
        if not tables[name]:
            raise ValueError(f"{header}: no rows read from {name}")
    return tables, constants


def brand_names():
    """The CardBrand enumerators of cards.h and the names NameOf gives them."""
    text = (CASES / "cards.h").read_text(encoding="latin-1")
    enumerators = re.search(r"enum class CardBrand \{([^}]*)\}", text).group(1).replace(" ", "").split(",")
    names = re.findall(r'"([^"]*)"', re.search(r"kNames\[\] = \{([^}]*)\}", text).group(1))
    return dict(zip(enumerators, names))


_cards, _ = read("cards.h")
_gpa, _gpa_constants = read("gpa.h")
_dates, _ = read("dates.h")
_names = brand_names()

# (text, brand name, passes the Luhn checksum, why)
CARD_ROWS = [(text, _names[brand], luhn, why) for table in
             ("kBrandLengthCases", "kBrandPrefixCases", "kLuhnCases", "kCardCases")
             for text, brand, luhn, why in _cards[table]]
# (text, a GPA number with right check digits, why)
GPA_ROWS = _gpa["kGpaLayoutCases"] + _gpa["kGpaMutationCases"]
WORKED_GPA = _gpa_constants["kWorkedGpa"]
# (number, (year, month, day), unexpired, age, why)
DATE_ROWS = _dates["kExpiryCases"] + _dates["kAgeCases"]
