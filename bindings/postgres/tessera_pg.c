/* tessera_pg.c -- the checks as PostgreSQL functions (CREATE EXTENSION tessera)
 *
 * The functions are those of the table of operations whose answers SQL can
 * hold. Each reads its text in place, over its stored length: no copy,
 * no NUL terminator needed, nothing cut. Only values kept compressed or out
 * of line are fetched whole, and the checks that accept only short texts
 * answer those from their size without fetching them at all.
 */
#include "postgres.h"

#include "access/detoast.h"
#include "fmgr.h"
#include "utils/builtins.h"
#include "utils/date.h"
#include "utils/datetime.h"

#include "frame/operations.h"
#include "tessera_text.h"

PG_MODULE_MAGIC;

typedef struct Argument {
  const char *text;
  size_t size;
} Argument;

static Argument argument_text(FunctionCallInfo fcinfo, int n) {
  text *value = PG_GETARG_TEXT_PP(n);
  Argument argument = {VARDATA_ANY(value), VARSIZE_ANY_EXHDR(value)};
  return argument;
}

/* True when argument n is a stored value longer than `longest`, known from
 * its header without decompressing or fetching it. */
static bool known_longer(FunctionCallInfo fcinfo, int n, size_t longest) {
  Datum datum = PG_GETARG_DATUM(n);
  struct varlena *value = (struct varlena *)DatumGetPointer(datum);
  if (longest == TESSERA_LONGEST_ANY || (!VARATT_IS_EXTERNAL(value) && !VARATT_IS_COMPRESSED(value))) return false;
  return toast_raw_datum_size(datum) - VARHDRSZ > longest;
}

/* The day to judge a GPA number on; a day the dates printed in the number
 * cannot be compared with is an error, not a silent no. */
static tessera_date day_argument(FunctionCallInfo fcinfo, int n, const char *function) {
  DateADT date = PG_GETARG_DATEADT(n);
  int year = 0, month = 0, day = 0;
  tessera_date today;
  if (!DATE_NOT_FINITE(date)) j2date(date + POSTGRES_EPOCH_JDATE, &year, &month, &day);
  today.year = year;
  today.month = month;
  today.day = day;
  if (DATE_NOT_FINITE(date) || !tessera_date_comparable(today))
    ereport(ERROR, (errcode(ERRCODE_DATETIME_VALUE_OUT_OF_RANGE),
                    errmsg("date out of range for tessera.%s", function),
                    errdetail("The date must lie between the years 1 and %d.", (int)TESSERA_LATEST_YEAR)));
  return today;
}

/* The answers, one shape each. A text longer than the longest an answer
 * accepts is answered no without being fetched. */

static Datum bool_answer(FunctionCallInfo fcinfo, bool (*check)(const char *, size_t), size_t longest) {
  Argument number;
  if (known_longer(fcinfo, 0, longest)) PG_RETURN_BOOL(false);
  number = argument_text(fcinfo, 0);
  PG_RETURN_BOOL(check(number.text, number.size));
}

static Datum bool_answer_on_day(FunctionCallInfo fcinfo, bool (*check)(const char *, size_t, const tessera_date *),
                                size_t longest, const char *function) {
  tessera_date day = day_argument(fcinfo, 1, function);
  Argument number;
  if (known_longer(fcinfo, 0, longest)) PG_RETURN_BOOL(false);
  number = argument_text(fcinfo, 0);
  PG_RETURN_BOOL(check(number.text, number.size, &day));
}

static Datum age_answer_on_day(FunctionCallInfo fcinfo, int32_t (*age)(const char *, size_t, const tessera_date *),
                               size_t longest, const char *function) {
  tessera_date day = day_argument(fcinfo, 1, function);
  Argument number;
  if (known_longer(fcinfo, 0, longest)) PG_RETURN_INT32(0);
  number = argument_text(fcinfo, 0);
  PG_RETURN_INT32(age(number.text, number.size, &day));
}

/* The brand's name, NULL for none. */
static Datum brand_answer(FunctionCallInfo fcinfo, tessera_brand (*brand_of)(const char *, size_t), size_t longest) {
  Argument number;
  tessera_brand brand = TESSERA_NO_BRAND;
  if (!known_longer(fcinfo, 0, longest)) {
    number = argument_text(fcinfo, 0);
    brand = brand_of(number.text, number.size);
  }
  if (brand == TESSERA_NO_BRAND) PG_RETURN_NULL();
  PG_RETURN_TEXT_P(cstring_to_text(tessera_brand_name(brand)));
}

static Datum masked_answer(FunctionCallInfo fcinfo, void (*mask)(const char *, size_t, char *)) {
  Argument number = argument_text(fcinfo, 0);
  text *masked = (text *)palloc(VARHDRSZ + number.size);
  SET_VARSIZE(masked, VARHDRSZ + number.size);
  mask(number.text, number.size, VARDATA(masked));
  PG_RETURN_TEXT_P(masked);
}

/* One function of the SQL script per operation: tessera_NAME. */
#define TESSERA_PG(name, Export, exported, arguments, answer, brand, longest, meaning) \
  TESSERA_PG_##answer##_##arguments(name, TESSERA_LONGEST_##longest)
#define TESSERA_PG_FUNCTION(name, answer)   \
  PG_FUNCTION_INFO_V1(tessera_##name);      \
  Datum tessera_##name(PG_FUNCTION_ARGS) { return answer; }
#define TESSERA_PG_BOOL_TEXT(name, longest) TESSERA_PG_FUNCTION(name, bool_answer(fcinfo, tessera_text_##name, longest))
#define TESSERA_PG_BOOL_TEXT_DAY(name, longest) \
  TESSERA_PG_FUNCTION(name, bool_answer_on_day(fcinfo, tessera_text_##name, longest, #name))
#define TESSERA_PG_AGE_TEXT_DAY(name, longest) \
  TESSERA_PG_FUNCTION(name, age_answer_on_day(fcinfo, tessera_text_##name, longest, #name))
#define TESSERA_PG_BRAND_TEXT(name, longest) TESSERA_PG_FUNCTION(name, brand_answer(fcinfo, tessera_text_##name, longest))
#define TESSERA_PG_MASKED_TEXT(name, longest) TESSERA_PG_FUNCTION(name, masked_answer(fcinfo, tessera_text_##name))
/* SQL has no place for the verdicts: their parts are functions of their own. */
#define TESSERA_PG_CARD_VERDICT_TEXT(name, longest)
#define TESSERA_PG_ID_VERDICT_TEXT_DAY(name, longest)

TESSERA_OPERATIONS(TESSERA_PG)
