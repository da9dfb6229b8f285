"""_operations -- the package's functions, as the library's table of operations lists them.

name: the function; export: the Tessera.DLL export that answers it, or None;
answer: bool, age, brand, card_verdict, id_verdict or masked; brand: the
brand a brand test asks about, or None; dated: takes `today` (the local date
by default).
"""

from collections import namedtuple

Operation = namedtuple("Operation", "name export answer brand dated")

# Made from frame/operations.h (operations): the tessera_bindings target writes it.
# The names of the brands, by the library's brand codes.
BRANDS = ("none", "American Express", "Diners Club", "Discover", "JCB", "MasterCard", "Visa")

OPERATIONS = (
    Operation("is_amex", "IsAmex", "bool", "American Express", False),
    Operation("is_dc", "IsDC", "bool", "Diners Club", False),
    Operation("is_disc", "IsDisc", "bool", "Discover", False),
    Operation("is_jcb", "IsJCB", "bool", "JCB", False),
    Operation("is_mc", "IsMC", "bool", "MasterCard", False),
    Operation("is_visa", "IsVisa", "bool", "Visa", False),
    Operation("check_organization", "CheckOrganization", "bool", None, False),
    Operation("check_number", "CheckNumber", "bool", None, False),
    Operation("check_card", "CheckCard", "bool", None, False),
    Operation("check_gpa_no", "CheckGPANo", "bool", None, False),
    Operation("check_gpa_no_expired", "CheckGPANoExpired", "bool", None, True),
    Operation("gpa_age", "CheckGPANoAge", "age", None, True),
    Operation("card_brand", None, "brand", None, False),
    Operation("card_verdict", None, "card_verdict", None, False),
    Operation("id_verdict", None, "id_verdict", None, True),
    Operation("mask_card", None, "masked", None, False),
)
# End of the part made from frame/operations.h (operations).
