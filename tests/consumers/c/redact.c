/* redact.c -- finds the card numbers of a log streamed in small blocks, then redacts it into a buffer */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tessera_scan.h>

static int show(void *context, const tessera_finding *f) {
  (void)context;
  printf("card at byte %llu, %u bytes, brand %s\n", (unsigned long long)f->offset, (unsigned)f->length,
         tessera_brand_name(f->brand));
  return 0; /* 0: go on */
}

int main(void) {
  const char log[] = "pay 4111 1111 1111 1111 ok\nref 378282246310005\n";
  const size_t size = sizeof log - 1;

  /* Blocks of 8 bytes: numbers straddle them, and each is reported once. */
  tessera_scanner *scanner = tessera_scanner_new(TESSERA_SCAN_CARD);
  if (!scanner) return 1;
  for (size_t at = 0; at < size; at += 8)
    tessera_scanner_feed(scanner, log + at, size - at < 8 ? size - at : 8, show, NULL);
  tessera_scanner_finish(scanner, show, NULL);
  tessera_scanner_free(scanner);

  /* The size needed first, then the redacted text. */
  const tessera_redact_options replace = {TESSERA_REDACT_REPLACE, TESSERA_SCAN_CARD, "[card]", 6};
  const size_t needed = tessera_redact(log, size, &replace, NULL, 0);
  char *out = malloc(needed);
  if (!out) return 1;
  tessera_redact(log, size, &replace, out, needed);
  fwrite(out, 1, needed, stdout);
  free(out);

  char masked[sizeof log];
  tessera_redact(log, size, NULL, masked, size); /* the masks keep the size */
  fwrite(masked, 1, size, stdout);
  return 0;
}
