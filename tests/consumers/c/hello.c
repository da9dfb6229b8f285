/* hello.c -- checks the card numbers given on the command line */
#include <stdio.h>
#include <tessera.h>

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i)
    printf("%s: %s\n", argv[i], CheckCard(argv[i]) ? "valid" : "invalid"); /* -1 is yes, 0 is no */
  return 0;
}
