/* tessera_sqlite.c -- the checks as SQLite functions: .load tessera_sqlite
 *
 * The functions are named as in PostgreSQL with the prefix tessera_, since
 * SQLite has no schemas for functions. Answers are integers 1 and 0, NULL
 * gives NULL, and a TEXT or BLOB is checked over its whole length, NUL bytes
 * included. Numbers are checked in their text form (4111111111111111 as an
 * INTEGER is the text "4111111111111111").
 */
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "tessera_text.h"

#ifndef SQLITE_INNOCUOUS /* before SQLite 3.31 every function counted as innocuous */
#define SQLITE_INNOCUOUS 0
#endif

typedef struct Argument {
  const char *text;
  size_t size;
} Argument;

/* False for NULL, and for a value whose text form could not be made (out
 * of memory, reported as such). */
static bool read_argument(sqlite3_context *context, sqlite3_value *value, Argument *argument) {
  int type = sqlite3_value_type(value);
  if (type == SQLITE_NULL) return false;
  /* The pointer first, then the size: making the text form changes it. */
  argument->text = type == SQLITE_BLOB ? (const char *)sqlite3_value_blob(value)
                                       : (const char *)sqlite3_value_text(value);
  argument->size = (size_t)sqlite3_value_bytes(value);
  if (argument->text == NULL && (type != SQLITE_BLOB || argument->size != 0)) {
    sqlite3_result_error_nomem(context);
    return false;
  }
  return true;
}

static void answer(sqlite3_context *context, bool yes) { sqlite3_result_int(context, yes ? 1 : 0); }

/* The brand asked about is the function's user data. */
static void is_brand(sqlite3_context *context, int argc, sqlite3_value **argv) {
  Argument number;
  (void)argc;
  if (read_argument(context, argv[0], &number))
    answer(context, tessera_text_card_brand(number.text, number.size) ==
                        (tessera_brand)(intptr_t)sqlite3_user_data(context));
}

#define TEXT_CHECK(name, check)                                          \
  static void name(sqlite3_context *context, int argc, sqlite3_value **argv) { \
    Argument number;                                                     \
    (void)argc;                                                          \
    if (read_argument(context, argv[0], &number)) answer(context, check(number.text, number.size)); \
  }

TEXT_CHECK(check_organization, tessera_text_check_organization)
TEXT_CHECK(check_number, tessera_text_check_number)
TEXT_CHECK(check_card, tessera_text_check_card)
TEXT_CHECK(check_gpa_no, tessera_text_check_gpa_no)

static void card_brand(sqlite3_context *context, int argc, sqlite3_value **argv) {
  Argument number;
  tessera_brand brand;
  (void)argc;
  if (!read_argument(context, argv[0], &number)) return;
  brand = tessera_text_card_brand(number.text, number.size);
  if (brand != TESSERA_NO_BRAND) sqlite3_result_text(context, tessera_brand_name(brand), -1, SQLITE_STATIC);
}

/* TEXT stays TEXT and a BLOB stays a BLOB: masking keeps every byte that is no digit. */
static void mask_card(sqlite3_context *context, int argc, sqlite3_value **argv) {
  Argument number;
  char *masked;
  (void)argc;
  if (!read_argument(context, argv[0], &number)) return;
  masked = sqlite3_malloc64(number.size + 1);
  if (masked == NULL) {
    sqlite3_result_error_nomem(context);
    return;
  }
  tessera_text_mask_card(number.text, number.size, masked);
  if (sqlite3_value_type(argv[0]) == SQLITE_BLOB)
    sqlite3_result_blob64(context, masked, number.size, sqlite3_free);
  else
    sqlite3_result_text64(context, masked, number.size, sqlite3_free, SQLITE_UTF8);
}

static bool is_leap(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

/* 'YYYY-MM-DD', a real calendar day: four digits of year, as SQLite's date functions write them,
 * so 0000 to 9999; `day` is left unchecked for representability (no year 0). */
static bool parse_day(const unsigned char *text, int size, tessera_date *day) {
  static const int32_t kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int32_t fields[3] = {0, 0, 0};
  int field = 0;
  if (text == NULL || size != 10 || text[4] != '-' || text[7] != '-') return false;
  for (int i = 0; i < size; ++i) {
    if (i == 4 || i == 7) {
      ++field;
    } else if (text[i] >= '0' && text[i] <= '9') {
      fields[field] = fields[field] * 10 + (text[i] - '0');
    } else {
      return false;
    }
  }
  day->year = fields[0];
  day->month = fields[1];
  day->day = fields[2];
  if (day->month < 1 || day->month > 12 || day->day < 1) return false;
  return day->day <= kMonthDays[day->month - 1] + (day->month == 2 && is_leap(day->year));
}

/* The day to judge on: the second argument, or the local date. False when
 * the answer is NULL or an error has been set. The function's name is its
 * user data, for the messages. */
static bool read_day(sqlite3_context *context, int argc, sqlite3_value **argv, tessera_date *day) {
  const char *function = sqlite3_user_data(context);
  if (argc < 2) {
    if (tessera_local_today(day)) return true;
    sqlite3_result_error(context, "the local date cannot be read", -1);
    return false;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return false;
  if (!parse_day(sqlite3_value_text(argv[1]), sqlite3_value_bytes(argv[1]), day) || !tessera_date_comparable(*day)) {
    char *message = sqlite3_mprintf("%s: the day must be a date 'YYYY-MM-DD' of the years 0001 to 9999", function);
    if (message == NULL) {
      sqlite3_result_error_nomem(context);
      return false;
    }
    sqlite3_result_error(context, message, -1);
    sqlite3_free(message);
    return false;
  }
  return true;
}

static bool judge_id(sqlite3_context *context, int argc, sqlite3_value **argv, tessera_id_verdict *verdict) {
  Argument number;
  tessera_date day;
  if (!read_argument(context, argv[0], &number) || !read_day(context, argc, argv, &day)) return false;
  *verdict = tessera_text_id_verdict(number.text, number.size, &day);
  return true;
}

/* 1 while the document is still valid on the day: not expired. */
static void check_gpa_no_expired(sqlite3_context *context, int argc, sqlite3_value **argv) {
  tessera_id_verdict verdict;
  if (judge_id(context, argc, argv, &verdict)) answer(context, verdict.unexpired);
}

static void gpa_age(sqlite3_context *context, int argc, sqlite3_value **argv) {
  tessera_id_verdict verdict;
  if (judge_id(context, argc, argv, &verdict)) sqlite3_result_int(context, (int)verdict.age);
}

typedef void (*Implementation)(sqlite3_context *, int, sqlite3_value **);

typedef struct Function {
  const char *name;
  int arguments;
  bool deterministic;
  Implementation implementation;
  void *user_data;
} Function;

#define BRAND(brand) ((void *)(intptr_t)(brand))

/* Without a day the answer depends on the clock, so only the two-argument
 * forms of the date functions are deterministic. */
static const Function kFunctions[] = {
    {"tessera_is_amex", 1, true, is_brand, BRAND(TESSERA_AMEX)},
    {"tessera_is_dc", 1, true, is_brand, BRAND(TESSERA_DINERS_CLUB)},
    {"tessera_is_disc", 1, true, is_brand, BRAND(TESSERA_DISCOVER)},
    {"tessera_is_jcb", 1, true, is_brand, BRAND(TESSERA_JCB)},
    {"tessera_is_mc", 1, true, is_brand, BRAND(TESSERA_MASTERCARD)},
    {"tessera_is_visa", 1, true, is_brand, BRAND(TESSERA_VISA)},
    {"tessera_check_organization", 1, true, check_organization, NULL},
    {"tessera_check_number", 1, true, check_number, NULL},
    {"tessera_check_card", 1, true, check_card, NULL},
    {"tessera_card_brand", 1, true, card_brand, NULL},
    {"tessera_mask_card", 1, true, mask_card, NULL},
    {"tessera_check_gpa_no", 1, true, check_gpa_no, NULL},
    {"tessera_check_gpa_no_expired", 1, false, check_gpa_no_expired, "tessera_check_gpa_no_expired"},
    {"tessera_check_gpa_no_expired", 2, true, check_gpa_no_expired, "tessera_check_gpa_no_expired"},
    {"tessera_gpa_age", 1, false, gpa_age, "tessera_gpa_age"},
    {"tessera_gpa_age", 2, true, gpa_age, "tessera_gpa_age"},
};

#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int sqlite3_tesserasqlite_init(sqlite3 *db, char **error, const sqlite3_api_routines *api) {
  SQLITE_EXTENSION_INIT2(api);
  for (size_t i = 0; i < sizeof kFunctions / sizeof kFunctions[0]; ++i) {
    const Function *f = &kFunctions[i];
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f->deterministic ? SQLITE_DETERMINISTIC : 0);
    int status = sqlite3_create_function_v2(db, f->name, f->arguments, flags, f->user_data, f->implementation,
                                            NULL, NULL, NULL);
    if (status != SQLITE_OK) {
      *error = sqlite3_mprintf("tessera: cannot create %s: %s", f->name, sqlite3_errstr(status));
      return status;
    }
  }
  return SQLITE_OK;
}
