/* tessera_sql.h -- the checks over text of known length, for the database extensions
 *
 * PostgreSQL and SQLite hand their functions a pointer and a size, not a
 * NUL-terminated string, and PostgreSQL leaves a function by longjmp on
 * error. So the two extensions are written in C against this small C face
 * of the checks, and no C++ frame ever lies between a database call and
 * its error handler. Every byte of a text counts, NUL bytes included.
 */
#ifndef TESSERA_SQL_H
#define TESSERA_SQL_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The brands, in the order of the brand functions. */
typedef enum tessera_sql_brand {
  TESSERA_SQL_NO_BRAND,
  TESSERA_SQL_AMEX,
  TESSERA_SQL_DINERS_CLUB,
  TESSERA_SQL_DISCOVER,
  TESSERA_SQL_JCB,
  TESSERA_SQL_MASTERCARD,
  TESSERA_SQL_VISA
} tessera_sql_brand;

typedef struct tessera_sql_date {
  int32_t year, month, day;
} tessera_sql_date;

typedef struct tessera_sql_id_verdict {
  bool check_digits;
  bool unexpired; /* still valid on the day asked about */
  int32_t age;    /* 0 when the check digits are wrong */
} tessera_sql_id_verdict;

/* No text longer than these can be a card or a GPA number, so a database
 * may answer no for such a text without fetching it. */
extern const size_t tessera_sql_longest_card;
extern const size_t tessera_sql_gpa_length;
/* The latest year a date given to the checks may have. */
extern const int32_t tessera_sql_latest_year;

tessera_sql_brand tessera_sql_brand_of(const char *text, size_t size);
/* The brand's name as people read it, NULL for no brand. */
const char *tessera_sql_brand_name(tessera_sql_brand brand, size_t *size);
bool tessera_sql_check_organization(const char *text, size_t size);
bool tessera_sql_check_number(const char *text, size_t size);
bool tessera_sql_check_card(const char *text, size_t size);
bool tessera_sql_check_gpa_no(const char *text, size_t size);

/* A day the checks can compare: years 1 to the latest, months 1 to 12, days 1 to 31. */
bool tessera_sql_representable(tessera_sql_date date);
/* The local time zone's date; false when the clock cannot be read. */
bool tessera_sql_local_today(tessera_sql_date *today);
/* `today` must be representable, else no and age 0. */
tessera_sql_id_verdict tessera_sql_judge_id(const char *text, size_t size, tessera_sql_date today);

/* Writes `size` bytes to `out`: at most the first six and last four digits shown. */
void tessera_sql_mask_card(const char *text, size_t size, char *out);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_SQL_H */
