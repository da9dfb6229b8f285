/* tessera_text.h -- every check over text of known length, one text or a whole column at a time
 *
 * A text is a pointer and a size in bytes. Every byte counts, NUL bytes
 * included, and none past the size is read; a null pointer with size 0 is
 * the empty text. Malformed text is simply "no". The answers are plain C
 * values: nothing is allocated or kept between calls, the caller's bytes are
 * only read, and any number of threads may call at once.
 *
 * Each check comes in three forms:
 *
 *   tessera_text_OP(text, size)                    one text
 *   tessera_strings_OP(data, offsets, count, ...)  a column, 32-bit offsets
 *   tessera_large_strings_OP(...)                  a column, 64-bit offsets
 *
 * A column is laid out as Apache Arrow lays out strings and binaries: the
 * texts end to end in one buffer `data`, and count + 1 offsets into it, text
 * i being the bytes data[offsets[i]] up to data[offsets[i + 1]]. Offsets
 * never decrease. The answer for text i goes to answers[i] of the caller's
 * array of count answers. A missing value (Arrow's null) is judged by the
 * bytes its slot holds, usually none; the caller's record of which values
 * are missing says which answers to disregard.
 *
 * The checks that judge dates take `day`: the day to judge on, or NULL for
 * today by the local clock, which is then read at most once per call, and
 * only for a number whose check digits are right. On POSIX systems that is
 * localtime_r: see tessera.h on signal handlers, fork and TZ.
 *
 * The twelve checks of tessera.h answer the same as the tessera_text_ forms
 * of the same names, for the text up to its first NUL.
 */
#ifndef TESSERA_TEXT_H
#define TESSERA_TEXT_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "tessera.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A card brand, as tessera_text_card_brand answers it. */
typedef uint8_t tessera_brand;
enum {
  TESSERA_NO_BRAND,
  TESSERA_AMEX,
  TESSERA_DINERS_CLUB,
  TESSERA_DISCOVER,
  TESSERA_JCB,
  TESSERA_MASTERCARD,
  TESSERA_VISA
};

/* No text longer than these is a card number or a GPA number, so a caller
 * may answer no for such a text without reading it. */
#define TESSERA_LONGEST_CARD 16
#define TESSERA_GPA_LENGTH 29

/* A calendar day. The dates printed in a GPA number can be compared with
 * days of the years 1 to TESSERA_LATEST_YEAR, months 1 to 12 and days 1 to
 * 31; on any other day no number is unexpired and every age is 0. */
typedef struct tessera_date {
  int32_t year, month, day;
} tessera_date;
#define TESSERA_LATEST_YEAR 214748

typedef struct tessera_card_verdict {
  bool valid;          /* a known brand that also passes the checksum */
  tessera_brand brand; /* TESSERA_NO_BRAND for none */
  bool checksum;       /* passes the Luhn (mod 10) checksum */
} tessera_card_verdict;

typedef struct tessera_id_verdict {
  bool valid;        /* check digits right and not expired */
  bool check_digits; /* the layout and all four check digits are right */
  bool unexpired;    /* still valid on the day, the expiry day included */
  int32_t age;       /* the holder's age in years, 0 when the check digits are wrong */
} tessera_id_verdict;

/* Helpers */

/* The brand's name as people read it ("American Express", ..., "Visa"),
 * "none" for TESSERA_NO_BRAND, NULL for a value that is no brand. */
TESSERA_API const char *tessera_brand_name(tessera_brand brand);
/* Today in the local time zone; false when the clock cannot be read. */
TESSERA_API bool tessera_local_today(tessera_date *today);
/* A day the dates of a GPA number can be compared with (see tessera_date). */
TESSERA_API bool tessera_date_comparable(tessera_date day);

/* One text */

/* The brand tests: the length of the text and its first characters. */
TESSERA_API bool tessera_text_is_amex(const char *text, size_t size);
TESSERA_API bool tessera_text_is_dc(const char *text, size_t size);
TESSERA_API bool tessera_text_is_disc(const char *text, size_t size);
TESSERA_API bool tessera_text_is_jcb(const char *text, size_t size);
TESSERA_API bool tessera_text_is_mc(const char *text, size_t size);
TESSERA_API bool tessera_text_is_visa(const char *text, size_t size);
/* Any of the six brands. */
TESSERA_API bool tessera_text_check_organization(const char *text, size_t size);
/* The Luhn (mod 10) checksum; true for the empty text. */
TESSERA_API bool tessera_text_check_number(const char *text, size_t size);
/* A known brand that also passes the checksum. */
TESSERA_API bool tessera_text_check_card(const char *text, size_t size);
/* 29-character GPA numbers: the layout and the four 7-3-1 check digits. */
TESSERA_API bool tessera_text_check_gpa_no(const char *text, size_t size);
/* Still valid on the day, the expiry day included. */
TESSERA_API bool tessera_text_check_gpa_no_expired(const char *text, size_t size, const tessera_date *day);
/* The holder's age in years on the day, from the two-digit years alone; 0
 * for a number that is not valid. */
TESSERA_API int32_t tessera_text_gpa_age(const char *text, size_t size, const tessera_date *day);
TESSERA_API tessera_brand tessera_text_card_brand(const char *text, size_t size);
/* tessera_text_check_card, _card_brand and _check_number at once. */
TESSERA_API tessera_card_verdict tessera_text_card_verdict(const char *text, size_t size);
/* tessera_text_check_gpa_no, _check_gpa_no_expired and _gpa_age at once. */
TESSERA_API tessera_id_verdict tessera_text_id_verdict(const char *text, size_t size, const tessera_date *day);
/* Writes `size` bytes to `masked`: the text with every digit but the first
 * six and the last four shown as "*"; other characters stay as they are. */
TESSERA_API void tessera_text_mask_card(const char *text, size_t size, char *masked);

/* A column, 32-bit offsets */

TESSERA_API void tessera_strings_is_amex(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_is_dc(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_is_disc(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_is_jcb(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_is_mc(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_is_visa(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_check_organization(const char *data, const int32_t *offsets, size_t count,
                                                    bool *answers);
TESSERA_API void tessera_strings_check_number(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_check_card(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_check_gpa_no(const char *data, const int32_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_strings_check_gpa_no_expired(const char *data, const int32_t *offsets, size_t count,
                                                      const tessera_date *day, bool *answers);
TESSERA_API void tessera_strings_gpa_age(const char *data, const int32_t *offsets, size_t count,
                                         const tessera_date *day, int32_t *answers);
TESSERA_API void tessera_strings_card_brand(const char *data, const int32_t *offsets, size_t count,
                                            tessera_brand *answers);
TESSERA_API void tessera_strings_card_verdict(const char *data, const int32_t *offsets, size_t count,
                                              tessera_card_verdict *answers);
TESSERA_API void tessera_strings_id_verdict(const char *data, const int32_t *offsets, size_t count,
                                            const tessera_date *day, tessera_id_verdict *answers);
/* Writes offsets[count] - offsets[0] bytes to `masked`: text i masked at
 * masked + offsets[i] - offsets[0], so the offsets serve the masked column too. */
TESSERA_API void tessera_strings_mask_card(const char *data, const int32_t *offsets, size_t count, char *masked);

/* A column, 64-bit offsets */

TESSERA_API void tessera_large_strings_is_amex(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_is_dc(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_is_disc(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_is_jcb(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_is_mc(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_is_visa(const char *data, const int64_t *offsets, size_t count, bool *answers);
TESSERA_API void tessera_large_strings_check_organization(const char *data, const int64_t *offsets, size_t count,
                                                          bool *answers);
TESSERA_API void tessera_large_strings_check_number(const char *data, const int64_t *offsets, size_t count,
                                                    bool *answers);
TESSERA_API void tessera_large_strings_check_card(const char *data, const int64_t *offsets, size_t count,
                                                  bool *answers);
TESSERA_API void tessera_large_strings_check_gpa_no(const char *data, const int64_t *offsets, size_t count,
                                                    bool *answers);
TESSERA_API void tessera_large_strings_check_gpa_no_expired(const char *data, const int64_t *offsets, size_t count,
                                                            const tessera_date *day, bool *answers);
TESSERA_API void tessera_large_strings_gpa_age(const char *data, const int64_t *offsets, size_t count,
                                               const tessera_date *day, int32_t *answers);
TESSERA_API void tessera_large_strings_card_brand(const char *data, const int64_t *offsets, size_t count,
                                                  tessera_brand *answers);
TESSERA_API void tessera_large_strings_card_verdict(const char *data, const int64_t *offsets, size_t count,
                                                    tessera_card_verdict *answers);
TESSERA_API void tessera_large_strings_id_verdict(const char *data, const int64_t *offsets, size_t count,
                                                  const tessera_date *day, tessera_id_verdict *answers);
TESSERA_API void tessera_large_strings_mask_card(const char *data, const int64_t *offsets, size_t count,
                                                 char *masked);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_TEXT_H */
