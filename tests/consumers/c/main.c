/* main.c -- a C program built against an installed Tessera through pkg-config */
#include <stdio.h>
#include <tessera.h>

int main(void) {
  const int ok = CheckCard("4111111111111111") == -1 && CheckCard("4111111111111") == 0 &&
                 CheckGPANo("12345678970-7506154-0909309-0") == -1 && CheckNumber(NULL) == -1;
  puts(ok ? "c consumer: ok" : "c consumer: wrong answers");
  return ok ? 0 : 1;
}
