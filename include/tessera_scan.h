/* tessera_scan.h -- card numbers found inside any bytes, and written back redacted
 *
 * The finder is the one tessera scan uses. A group is a run of the digits
 * 0-9; groups joined by exactly one space or hyphen-minus form a chain. In
 * each chain, from its first group on, the longest run of whole groups whose
 * digits pass the card check is a finding, and the search goes on after it.
 *
 * A scanner is fed the blocks of one input in order and reports each finding
 * once, however the blocks fall; a finding still open at the end of a block
 * is reported with a later block. After tessera_scanner_new it allocates
 * nothing. One scanner serves one thread at a time; different scanners may
 * be used by different threads at once. The one-call forms below keep
 * nothing between calls, and any number of threads may call them at once.
 */
#ifndef TESSERA_SCAN_H
#define TESSERA_SCAN_H

#include <stddef.h>
#include <stdint.h>

#include "tessera_text.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What counts as a card number. */
enum {
  TESSERA_SCAN_CARD,      /* 13 to 16 digits of a brand that pass the Luhn check */
  TESSERA_SCAN_LUHN_ONLY  /* 13 to 19 digits that pass the Luhn check, brand or none */
};

typedef struct tessera_finding {
  uint64_t offset;      /* of the first digit, in bytes from the start of the input */
  uint32_t length;      /* in bytes, the separators between its groups included */
  tessera_brand brand;  /* TESSERA_NO_BRAND only under TESSERA_SCAN_LUHN_ONLY */
} tessera_finding;

/* Called once per finding, in input order; a return other than 0 stops the
 * calls for the rest of the block (the findings are still consumed). */
typedef int (*tessera_finding_callback)(void *context, const tessera_finding *finding);

typedef struct tessera_scanner tessera_scanner;

/* NULL when out of memory or for an unknown rule. */
TESSERA_API tessera_scanner *tessera_scanner_new(int rule);
TESSERA_API void tessera_scanner_free(tessera_scanner *scanner);
/* The next block of the input; returns the number of findings it completed. */
TESSERA_API size_t tessera_scanner_feed(tessera_scanner *scanner, const char *block, size_t size,
                                        tessera_finding_callback callback, void *context);
/* Ends the input, reporting what the last block left open; the scanner then
 * starts afresh for another input. */
TESSERA_API size_t tessera_scanner_finish(tessera_scanner *scanner, tessera_finding_callback callback,
                                          void *context);

/* The findings of a whole text: the first `capacity` go to `findings`; the
 * answer is how many there are, which may be more. */
TESSERA_API size_t tessera_find_cards(const char *text, size_t size, int rule, tessera_finding *findings,
                                      size_t capacity);

/* How a finding is replaced. */
enum {
  TESSERA_REDACT_MASK,         /* every digit but the last four as '*', separators kept */
  TESSERA_REDACT_FIRST6LAST4,  /* every digit but the first six and the last four as '*' */
  TESSERA_REDACT_REPLACE       /* the text `replacement` instead of the whole number */
};

typedef struct tessera_redact_options {
  int form;                 /* TESSERA_REDACT_... */
  int rule;                 /* TESSERA_SCAN_... */
  const char *replacement;  /* TESSERA_REDACT_REPLACE */
  size_t replacement_size;
} tessera_redact_options;

/* Writes `text` with every finding replaced and every other byte as it is to
 * `out`, and answers the size of the whole redacted text. When that is more
 * than `capacity`, only the first `capacity` bytes were written: call again
 * with a buffer of the size answered. The masks keep the size of the text.
 * Where a number is joined to other digits by one space or hyphen, its
 * digits on that side are hidden too, so that the output, redacted again,
 * stays the same. `options` NULL is the mask under TESSERA_SCAN_CARD. */
TESSERA_API size_t tessera_redact(const char *text, size_t size, const tessera_redact_options *options, char *out,
                                  size_t capacity);
/* Whether `text` holds a card number: stops at the first. */
TESSERA_API bool tessera_contains_card(const char *text, size_t size, int rule);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_SCAN_H */
