/* tessera_sqlite.c -- the checks as SQLite functions: .load tessera_sqlite
 *
 * The functions are those of the table of operations whose answers SQL can
 * hold, named as in PostgreSQL with the prefix tessera_, since
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

#include "frame/operations.h"
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

static void bool_answer(sqlite3_context *context, sqlite3_value *value, bool (*check)(const char *, size_t)) {
  Argument number;
  if (read_argument(context, value, &number)) sqlite3_result_int(context, check(number.text, number.size) ? 1 : 0);
}

/* The brand's name, NULL for none. */
static void brand_answer(sqlite3_context *context, sqlite3_value *value,
                         tessera_brand (*brand_of)(const char *, size_t)) {
  Argument number;
  tessera_brand brand;
  if (!read_argument(context, value, &number)) return;
  brand = brand_of(number.text, number.size);
  if (brand != TESSERA_NO_BRAND) sqlite3_result_text(context, tessera_brand_name(brand), -1, SQLITE_STATIC);
}

/* TEXT stays TEXT and a BLOB stays a BLOB: masking keeps every byte that is no digit. */
static void masked_answer(sqlite3_context *context, sqlite3_value *value, void (*mask)(const char *, size_t, char *)) {
  Argument number;
  char *masked;
  if (!read_argument(context, value, &number)) return;
  masked = sqlite3_malloc64(number.size + 1);
  if (masked == NULL) {
    sqlite3_result_error_nomem(context);
    return;
  }
  mask(number.text, number.size, masked);
  if (sqlite3_value_type(value) == SQLITE_BLOB)
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
 * the answer is NULL or an error has been set. */
static bool read_day(sqlite3_context *context, int argc, sqlite3_value **argv, const char *function,
                     tessera_date *day) {
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

static void bool_answer_on_day(sqlite3_context *context, int argc, sqlite3_value **argv, const char *function,
                               bool (*check)(const char *, size_t, const tessera_date *)) {
  Argument number;
  tessera_date day;
  if (read_argument(context, argv[0], &number) && read_day(context, argc, argv, function, &day))
    sqlite3_result_int(context, check(number.text, number.size, &day) ? 1 : 0);
}

static void age_answer_on_day(sqlite3_context *context, int argc, sqlite3_value **argv, const char *function,
                              int32_t (*age)(const char *, size_t, const tessera_date *)) {
  Argument number;
  tessera_date day;
  if (read_argument(context, argv[0], &number) && read_day(context, argc, argv, function, &day))
    sqlite3_result_int(context, (int)age(number.text, number.size, &day));
}

/* One SQL function per operation, tessera_NAME, each answer in its shape. */
#define TESSERA_SQLITE(name, Export, exported, arguments, answer, brand, longest, meaning) \
  TESSERA_SQLITE_##answer##_##arguments(name, "tessera_" #name)
#define TESSERA_SQLITE_FUNCTION(name, answer)                                                          \
  static void name##_function(sqlite3_context *context, int argc, sqlite3_value **argv) {             \
    (void)argc;                                                                                        \
    answer;                                                                                            \
  }
#define TESSERA_SQLITE_BOOL_TEXT(name, function) \
  TESSERA_SQLITE_FUNCTION(name, bool_answer(context, argv[0], tessera_text_##name))
#define TESSERA_SQLITE_BRAND_TEXT(name, function) \
  TESSERA_SQLITE_FUNCTION(name, brand_answer(context, argv[0], tessera_text_##name))
#define TESSERA_SQLITE_MASKED_TEXT(name, function) \
  TESSERA_SQLITE_FUNCTION(name, masked_answer(context, argv[0], tessera_text_##name))
#define TESSERA_SQLITE_BOOL_TEXT_DAY(name, function) \
  TESSERA_SQLITE_FUNCTION(name, bool_answer_on_day(context, argc, argv, function, tessera_text_##name))
#define TESSERA_SQLITE_AGE_TEXT_DAY(name, function) \
  TESSERA_SQLITE_FUNCTION(name, age_answer_on_day(context, argc, argv, function, tessera_text_##name))
/* SQL has no place for the verdicts: their parts are functions of their own. */
#define TESSERA_SQLITE_CARD_VERDICT_TEXT(name, function)
#define TESSERA_SQLITE_ID_VERDICT_TEXT_DAY(name, function)

TESSERA_OPERATIONS(TESSERA_SQLITE)

typedef void (*Implementation)(sqlite3_context *, int, sqlite3_value **);

typedef struct Function {
  const char *name;
  int arguments;
  bool deterministic;
  Implementation implementation;
} Function;

/* Without a day the answer depends on the clock, so only the two-argument
 * forms of the functions with a day are deterministic. */
#define TESSERA_SQLITE_ROWS(name, Export, exported, arguments, answer, brand, longest, meaning) \
  TESSERA_SQLITE_ROWS_##answer##_##arguments(name, "tessera_" #name)
#define TESSERA_SQLITE_ROWS_TEXT(name, function) {function, 1, true, name##_function},
#define TESSERA_SQLITE_ROWS_TEXT_DAY(name, function) \
  {function, 1, false, name##_function}, {function, 2, true, name##_function},
#define TESSERA_SQLITE_ROWS_BOOL_TEXT TESSERA_SQLITE_ROWS_TEXT
#define TESSERA_SQLITE_ROWS_BRAND_TEXT TESSERA_SQLITE_ROWS_TEXT
#define TESSERA_SQLITE_ROWS_MASKED_TEXT TESSERA_SQLITE_ROWS_TEXT
#define TESSERA_SQLITE_ROWS_BOOL_TEXT_DAY TESSERA_SQLITE_ROWS_TEXT_DAY
#define TESSERA_SQLITE_ROWS_AGE_TEXT_DAY TESSERA_SQLITE_ROWS_TEXT_DAY
#define TESSERA_SQLITE_ROWS_CARD_VERDICT_TEXT(name, function)
#define TESSERA_SQLITE_ROWS_ID_VERDICT_TEXT_DAY(name, function)

static const Function kFunctions[] = {TESSERA_OPERATIONS(TESSERA_SQLITE_ROWS)};

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
    int status = sqlite3_create_function_v2(db, f->name, f->arguments, flags, NULL, f->implementation,
                                            NULL, NULL, NULL);
    if (status != SQLITE_OK) {
      *error = sqlite3_mprintf("tessera: cannot create %s: %s", f->name, sqlite3_errstr(status));
      return status;
    }
  }
  return SQLITE_OK;
}
