/* operations.h -- every operation of the library, once: the exports, the database functions, the
 * Python module and the declarations of every binding are made from this table
 *
 * TESSERA_OPERATIONS(X) calls X(name, Export, exported, arguments, answer, brand, longest, meaning)
 * once per operation, in this order:
 *
 *   name       tessera_text_NAME and its column forms; the SQL and Python function of that name
 *   Export     the name for hosts of tessera.h: C#, Pascal, VBA
 *   exported   EXPORTED: one of the twelve of tessera.h (and of Tessera.DLL); API_ONLY: not
 *   arguments  TEXT: the text alone; TEXT_DAY: the text and the day to judge it on, today by
 *              the local clock when none is given: the only operations that read the clock
 *   answer     BOOL, AGE (int32_t years), BRAND (tessera_brand), CARD_VERDICT, ID_VERDICT,
 *              MASKED (the text with digits hidden, as long as the text)
 *   brand      the one brand a brand test asks about (AMEX ... VISA, as tessera_brand names
 *              them), NO_BRAND for the others
 *   longest    CARD, GPA: every text longer than TESSERA_LONGEST_##longest is answered no (0,
 *              no brand) without being read; ANY: texts of any length are read
 *   meaning    what it answers, for people: "yes when the number ..." for BOOL, else a noun
 *
 * Plain C, so that C front ends expand it too. A new operation takes a row
 * here and one in frame/answers.h, its declarations in tessera_text.h and
 * its names in a new version of resources/tessera.map; building the
 * tessera_bindings target then writes what the bindings declare of it. */
#ifndef TESSERA_OPERATIONS_H
#define TESSERA_OPERATIONS_H

#include <stdint.h>

#include "tessera_text.h"

#define TESSERA_LONGEST_GPA TESSERA_GPA_LENGTH
#define TESSERA_LONGEST_ANY SIZE_MAX

/* clang-format off */
#define TESSERA_OPERATIONS(X)                                                                                         \
  X(is_amex,              IsAmex,            EXPORTED, TEXT,     BOOL,         AMEX,        CARD,                    \
    "has the length and first characters of American Express")                                                      \
  X(is_dc,                IsDC,              EXPORTED, TEXT,     BOOL,         DINERS_CLUB, CARD,                    \
    "has the length and first characters of Diners Club")                                                           \
  X(is_disc,              IsDisc,            EXPORTED, TEXT,     BOOL,         DISCOVER,    CARD,                    \
    "has the length and first characters of Discover")                                                              \
  X(is_jcb,               IsJCB,             EXPORTED, TEXT,     BOOL,         JCB,         CARD,                    \
    "has the length and first characters of JCB")                                                                   \
  X(is_mc,                IsMC,              EXPORTED, TEXT,     BOOL,         MASTERCARD,  CARD,                    \
    "has the length and first characters of MasterCard")                                                            \
  X(is_visa,              IsVisa,            EXPORTED, TEXT,     BOOL,         VISA,        CARD,                    \
    "has the length and first characters of Visa")                                                                  \
  X(check_organization,   CheckOrganization, EXPORTED, TEXT,     BOOL,         NO_BRAND,    CARD,                    \
    "has the length and first characters of any of the six card brands")                                           \
  X(check_number,         CheckNumber,       EXPORTED, TEXT,     BOOL,         NO_BRAND,    ANY,                     \
    "passes the Luhn (mod 10) checksum; characters that are not digits count 0 but keep their place, so the "       \
    "empty text passes")                                                                                            \
  X(check_card,           CheckCard,         EXPORTED, TEXT,     BOOL,         NO_BRAND,    CARD,                    \
    "is a valid card number: it has a known brand and passes the Luhn checksum")                                    \
  X(check_gpa_no,         CheckGPANo,        EXPORTED, TEXT,     BOOL,         NO_BRAND,    GPA,                     \
    "is a GPA number: its layout and its four 7-3-1 check digits are right")                                        \
  X(check_gpa_no_expired, CheckGPANoExpired, EXPORTED, TEXT_DAY, BOOL,         NO_BRAND,    GPA,                     \
    "is a GPA number that has NOT expired on the day, the expiry day included (yes means still valid, despite "     \
    "the name)")                                                                                                    \
  X(gpa_age,              CheckGPANoAge,     EXPORTED, TEXT_DAY, AGE,          NO_BRAND,    GPA,                     \
    "the holder's age in years on the day, from the two-digit years alone (1 to 100), 0 when the number is "        \
    "not a GPA number")                                                                                             \
  X(card_brand,           CardBrand,         API_ONLY, TEXT,     BRAND,        NO_BRAND,    CARD,                    \
    "the card brand whose length and first characters the number has")                                             \
  X(card_verdict,         CardVerdict,       API_ONLY, TEXT,     CARD_VERDICT, NO_BRAND,    CARD,                    \
    "why a card number is valid or not: check_card, card_brand and check_number at once")                           \
  X(id_verdict,           IdVerdict,         API_ONLY, TEXT_DAY, ID_VERDICT,   NO_BRAND,    GPA,                     \
    "why a GPA number is valid or not on the day: check_gpa_no, check_gpa_no_expired and gpa_age at once")          \
  X(mask_card,            MaskCard,          API_ONLY, TEXT,     MASKED,       NO_BRAND,    ANY,                     \
    "the number as it may be shown to people: every digit but the first six and the last four hidden as \"*\", "   \
    "every other character where it was")
/* clang-format on */

#endif /* TESSERA_OPERATIONS_H */
