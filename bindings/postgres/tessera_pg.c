/* tessera_pg.c -- the checks as PostgreSQL functions (CREATE EXTENSION tessera)
 *
 * Each function reads its text in place, over its stored length: no copy,
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
  if (!VARATT_IS_EXTERNAL(value) && !VARATT_IS_COMPRESSED(value)) return false;
  return toast_raw_datum_size(datum) - VARHDRSZ > longest;
}

static tessera_brand brand_argument(FunctionCallInfo fcinfo) {
  Argument number;
  if (known_longer(fcinfo, 0, TESSERA_LONGEST_CARD)) return TESSERA_NO_BRAND;
  number = argument_text(fcinfo, 0);
  return tessera_text_card_brand(number.text, number.size);
}

#define BRAND_FUNCTION(name, brand)                                  \
  PG_FUNCTION_INFO_V1(name);                                         \
  Datum name(PG_FUNCTION_ARGS) { PG_RETURN_BOOL(brand_argument(fcinfo) == (brand)); }

BRAND_FUNCTION(tessera_is_amex, TESSERA_AMEX)
BRAND_FUNCTION(tessera_is_dc, TESSERA_DINERS_CLUB)
BRAND_FUNCTION(tessera_is_disc, TESSERA_DISCOVER)
BRAND_FUNCTION(tessera_is_jcb, TESSERA_JCB)
BRAND_FUNCTION(tessera_is_mc, TESSERA_MASTERCARD)
BRAND_FUNCTION(tessera_is_visa, TESSERA_VISA)

/* A check that says no to every text longer than `longest`. */
#define SHORT_TEXT_CHECK(name, check, longest)                        \
  PG_FUNCTION_INFO_V1(name);                                          \
  Datum name(PG_FUNCTION_ARGS) {                                      \
    Argument number;                                                  \
    if (known_longer(fcinfo, 0, (longest))) PG_RETURN_BOOL(false);    \
    number = argument_text(fcinfo, 0);                                \
    PG_RETURN_BOOL(check(number.text, number.size));                  \
  }

SHORT_TEXT_CHECK(tessera_check_organization, tessera_text_check_organization, TESSERA_LONGEST_CARD)
SHORT_TEXT_CHECK(tessera_check_card, tessera_text_check_card, TESSERA_LONGEST_CARD)
SHORT_TEXT_CHECK(tessera_check_gpa_no, tessera_text_check_gpa_no, TESSERA_GPA_LENGTH)

/* The checksum reads every character of any length. */
PG_FUNCTION_INFO_V1(tessera_check_number);
Datum tessera_check_number(PG_FUNCTION_ARGS) {
  Argument number = argument_text(fcinfo, 0);
  PG_RETURN_BOOL(tessera_text_check_number(number.text, number.size));
}

PG_FUNCTION_INFO_V1(tessera_card_brand);
Datum tessera_card_brand(PG_FUNCTION_ARGS) {
  tessera_brand brand = brand_argument(fcinfo);
  if (brand == TESSERA_NO_BRAND) PG_RETURN_NULL();
  PG_RETURN_TEXT_P(cstring_to_text(tessera_brand_name(brand)));
}

PG_FUNCTION_INFO_V1(tessera_mask_card);
Datum tessera_mask_card(PG_FUNCTION_ARGS) {
  Argument number = argument_text(fcinfo, 0);
  text *masked = (text *)palloc(VARHDRSZ + number.size);
  SET_VARSIZE(masked, VARHDRSZ + number.size);
  tessera_text_mask_card(number.text, number.size, VARDATA(masked));
  PG_RETURN_TEXT_P(masked);
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

static tessera_id_verdict judge_id(FunctionCallInfo fcinfo, const char *function) {
  tessera_date today = day_argument(fcinfo, 1, function);
  Argument number;
  if (known_longer(fcinfo, 0, TESSERA_GPA_LENGTH)) {
    tessera_id_verdict none = {false, false, false, 0};
    return none;
  }
  number = argument_text(fcinfo, 0);
  return tessera_text_id_verdict(number.text, number.size, &today);
}

/* True while the document is still valid on the day: not expired. */
PG_FUNCTION_INFO_V1(tessera_check_gpa_no_expired);
Datum tessera_check_gpa_no_expired(PG_FUNCTION_ARGS) {
  PG_RETURN_BOOL(judge_id(fcinfo, "check_gpa_no_expired").unexpired);
}

PG_FUNCTION_INFO_V1(tessera_gpa_age);
Datum tessera_gpa_age(PG_FUNCTION_ARGS) { PG_RETURN_INT32(judge_id(fcinfo, "gpa_age").age); }
