/* best_fit.c -- what Windows' conversion of Unicode text to code page 1252
 * hands the module. With "best fit", as VBA's Declare and .NET's default ANSI
 * marshalling convert, fullwidth digits arrive as ASCII digits and CheckCard
 * says yes to a text without one; without it they arrive as "?" and the
 * conversion reports them, which is what lets a caller refuse the text. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "tessera.h"

#define FULLWIDTH_VISA L"\xFF14\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11\xFF11"

static const struct {
  const wchar_t *text;
  DWORD flags;
  const char *arrives; /* the bytes the module is given */
  BOOL reported;       /* the conversion says a character had no form */
  int32_t card;        /* CheckCard of those bytes */
  const char *reason;
} rows[] = {
    {FULLWIDTH_VISA, 0, "4111111111111111", FALSE, -1, "best fit: fullwidth digits become ASCII digits"},
    {FULLWIDTH_VISA, WC_NO_BEST_FIT_CHARS, "????????????????", TRUE, 0, "no best fit: they have no form"},
    {L"4111111111111111", WC_NO_BEST_FIT_CHARS, "4111111111111111", FALSE, -1, "ASCII digits arrive as they are"},
    {L"36000000000000\x00e9", WC_NO_BEST_FIT_CHARS, "36000000000000\xe9", FALSE, 0, "e acute is a 1252 character"},
};

int main(void) {
  int failed = 0;
  const int count = (int)(sizeof rows / sizeof rows[0]);
  for (int i = 0; i < count; ++i) {
    char bytes[64];
    BOOL reported = FALSE;
    const int size = WideCharToMultiByte(1252, rows[i].flags, rows[i].text, -1, bytes, (int)sizeof bytes, NULL, &reported);
    const int32_t card = size > 0 ? CheckCard(bytes) : 1;
    if (size <= 0 || strcmp(bytes, rows[i].arrives) != 0 || reported != rows[i].reported || card != rows[i].card) {
      printf("FAILED: row %d (%s): arrived \"%s\", reported %d, CheckCard %ld\n", i, rows[i].reason,
             size > 0 ? bytes : "", (int)reported, (long)card);
      ++failed;
    }
  }
  printf("%d passed, %d failed\n", count - failed, failed);
  return failed != 0;
}
