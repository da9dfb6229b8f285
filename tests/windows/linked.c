/* linked.c -- a host that links Tessera.DLL through its import library and the header */
#include <stdio.h>

#include "tessera.h"

int main(void) {
  int failed = 0;
  failed += CheckCard("4111111111111111") != -1;
  failed += CheckCard("4111111111111") != 0;
  failed += IsAmex("378282246310005") != -1;
  failed += CheckGPANo("12345678970-7506154-0909309-0") != -1;
  printf("%d passed, %d failed\n", 4 - failed, failed);
  return failed != 0;
}
