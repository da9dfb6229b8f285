// docstrings.h -- the docstrings of the module's functions, TESSERA_DOC_<name>
#pragma once

// Made from frame/operations.h (docstrings): the tessera_bindings target writes it.
#define TESSERA_DOC_is_amex \
  "is_amex(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of American Express: 15 characters starting " \
  "\"34\" or \"37\". The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_is_dc \
  "is_dc(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of Diners Club: 14 characters starting \"36\", " \
  "\"38\" or \"300\" to \"305\". The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_is_disc \
  "is_disc(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of Discover: 16 characters starting \"6011\". " \
  "The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_is_jcb \
  "is_jcb(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of JCB: 15 or 16 characters starting \"1800\", " \
  "\"2131\" or \"3\" when it is not American Express. The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_is_mc \
  "is_mc(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of MasterCard: 16 characters starting \"51\" " \
  "to \"55\". The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_is_visa \
  "is_visa(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of Visa: 13 or 16 characters starting \"4\". " \
  "The checksum is not looked at.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_check_organization \
  "check_organization(number, /)\n" \
  "--\n\n" \
  "True when `number` has the length and first characters of any of the six card brands.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_check_number \
  "check_number(number, /)\n" \
  "--\n\n" \
  "True when `number` passes the Luhn (mod 10) checksum; characters that are not digits count 0 but keep " \
  "their place, so the empty text passes.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_check_card \
  "check_card(number, /)\n" \
  "--\n\n" \
  "True when `number` is a valid card number: it has a known brand and passes the Luhn checksum.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_check_gpa_no \
  "check_gpa_no(number, /)\n" \
  "--\n\n" \
  "True when `number` is a GPA number: its layout and its four 7-3-1 check digits are right (29 characters, " \
  "\"-\" at positions 12, 20 and 28).\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_check_gpa_no_expired \
  "check_gpa_no_expired(number, /, today=None)\n" \
  "--\n\n" \
  "True when `number` is a GPA number that has NOT expired on `today`, the expiry day included (yes means " \
  "still valid, despite the name). `today` is a datetime.date; None means the local date.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype boolean, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of bool, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_gpa_age \
  "gpa_age(number, /, today=None)\n" \
  "--\n\n" \
  "The holder's age in years on `today`, from the two-digit years alone (1 to 100), 0 when `number` is " \
  "not a GPA number. `today` is a datetime.date; None means the local date.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is 0. An " \
  "integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): read " \
  "such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas Series gives a Series with the same index, in the nullable dtype Int32, with " \
  "<NA> for missing values (None, NaN, pandas.NA); a list, tuple or other iterable, or a NumPy array, " \
  "gives a NumPy array of int32, one answer per element, masked (numpy.ma) where values were missing."
#define TESSERA_DOC_card_brand \
  "card_brand(number, /)\n" \
  "--\n\n" \
  "The card brand whose length and first characters `number` has: \"American Express\", \"Diners Club\", " \
  "\"Discover\", \"JCB\", \"MasterCard\" or \"Visa\", or \"none\" (a true value: compare with \"none\").\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is \"none\". " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: these names, in a NumPy array of objects (dtype string for a Series); missing values " \
  "stay missing."
#define TESSERA_DOC_card_verdict \
  "card_verdict(number, /)\n" \
  "--\n\n" \
  "Why a card number is valid or not: check_card, card_brand and check_number at once. The answer is " \
  "CardVerdict(valid, brand, checksum).\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is CardVerdict(False, " \
  "\"none\", False). An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits " \
  "may be lost): read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas DataFrame with the columns valid, brand (categorical) and checksum, one row " \
  "per element (a dict of NumPy arrays when pandas is not installed)."
#define TESSERA_DOC_id_verdict \
  "id_verdict(number, /, today=None)\n" \
  "--\n\n" \
  "Why a GPA number is valid or not on `today`: check_gpa_no, check_gpa_no_expired and gpa_age at once. " \
  "The answer is IdVerdict(valid, check_digits, unexpired, age). `today` is a datetime.date; None means " \
  "the local date.\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is IdVerdict(False, " \
  "False, False, 0). An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits " \
  "may be lost): read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a pandas DataFrame with the columns valid, check_digits, unexpired and age, one row " \
  "per element (a dict of NumPy arrays when pandas is not installed)."
#define TESSERA_DOC_mask_card \
  "mask_card(number, /)\n" \
  "--\n\n" \
  "`number` as it may be shown to people: every digit but the first six and the last four hidden as \"*\", " \
  "every other character where it was (\"4111 1111 1111 1111\" gives \"4111 11** **** 1111\").\n\n" \
  "`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, NUL " \
  "bytes included. A str gives a str, a bytes-like object bytes; characters beyond Latin-1 are shown " \
  "as \"*\". An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may " \
  "be lost): read such numbers as text. None and NaN are missing: the answer is None.\n\n" \
  "For a column: a NumPy array of objects (dtype string for a Series of str); missing values stay missing."
// End of the part made from frame/operations.h (docstrings).
