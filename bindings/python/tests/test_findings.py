"""test_findings -- card numbers inside free text: find_cards, redact and contains_card."""

import threading

import pytest

import tessera
from tessera import Finding

FIND_ROWS = [
    ("paid with 4111 1111 1111 1111 today", [Finding(10, 29, "Visa", "4111 11** **** 1111")], "grouped"),
    ("a 378282246310005, b 5555-5555-5555-4444",
     [Finding(2, 17, "American Express", "378282*****0005"), Finding(21, 40, "MasterCard", "5555-55**-****-4444")],
     "two brands"),
    ("order 9941111111111111119", [], "19 digits, no brand: not a card"),
    ("no 4111111111111112", [], "fails the Luhn check"),
    ("é€ 4111111111111111", [Finding(3, 19, "Visa", "411111******1111")], "offsets in characters"),
    ("", [], "empty"),
]


@pytest.mark.parametrize("text, found, why", FIND_ROWS, ids=[r[2] for r in FIND_ROWS])
def test_find_cards(text, found, why):
    assert tessera.find_cards(text) == found
    assert tessera.contains_card(text) == bool(found)
    for f in found:
        assert text[f.start:f.end].replace(" ", "").replace("-", "")[-4:] == f.masked[-4:]


REDACT_ROWS = [
    ({}, "pan 4111 1111 1111 1111\n", "pan **** **** **** 1111\n"),
    ({"mask": "first6last4"}, "pan 4111-1111-1111-1111", "pan 4111-11**-****-1111"),
    ({"replace": "[card]"}, "pan 4111111111111111 ok", "pan [card] ok"),
    ({"replace": "«card»"}, "é 4111111111111111", "é «card»"),
    ({}, "12 4111111111111111 5", "12 **************** 5"),
    ({"luhn_only": True}, "x 4000000000000000006", "x ***************0006"),
    ({}, "x 4000000000000000006", "x 4000000000000000006"),
]


@pytest.mark.parametrize("options, text, redacted", REDACT_ROWS)
def test_redact(options, text, redacted):
    assert tessera.redact(text, **options) == redacted
    assert tessera.redact(redacted, **options) == redacted, "redacting twice is redacting once"
    assert tessera.redact(text.encode(), **options) == redacted.encode(), "bytes give bytes"


def test_missing_and_wrong_values():
    assert tessera.find_cards(None) is None
    assert tessera.redact(None) is None
    assert tessera.contains_card(None) is None
    with pytest.raises(ValueError):
        tessera.redact("x", mask="all")
    with pytest.raises(TypeError):
        tessera.find_cards(4111111111111111)


def test_threads_share_nothing():
    text = "pan 4111 1111 1111 1111 " * 10000
    answers = []
    threads = [threading.Thread(target=lambda: answers.append(tessera.redact(text))) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert answers == ["pan **** **** **** 1111 " * 10000] * 4
