/* export_loop.c -- ns per number of one export of the shared library, called from C over a
 * file of numbers (one per line), as the baseline of bench/python_bench.py. A name
 * tessera_large_strings_... is a column function of tessera_text.h instead, called once
 * per round on all the numbers in the Arrow layout.
 * usage: export_loop LIBRARY FILE [EXPORT [ROUNDS]]   prints the best round's ns per number */
#include <dlfcn.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef int32_t (*Check)(const char *);
typedef void (*ColumnCheck)(const char *, const int64_t *, size_t, bool *);

/* CPU time, so that other processes on the machine do not count. */
static double Seconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: export_loop LIBRARY FILE [EXPORT [ROUNDS]]\n");
    return 2;
  }
  const char *name = argc > 3 ? argv[3] : "CheckCard";
  const int rounds = argc > 4 ? atoi(argv[4]) : 5;
  void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  void *symbol = library ? dlsym(library, name) : NULL;
  const bool column = strncmp(name, "tessera_large_strings_", 22) == 0;
  Check check = (Check)(uintptr_t)symbol;
  ColumnCheck column_check = (ColumnCheck)(uintptr_t)symbol;
  if (!symbol) {
    fprintf(stderr, "export_loop: %s\n", dlerror());
    return 2;
  }
  FILE *file = fopen(argv[2], "rb");
  if (!file) {
    perror(argv[2]);
    return 2;
  }
  /* The numbers end to end, each with its NUL, the way a host holds a column. */
  fseek(file, 0, SEEK_END);
  const long size = ftell(file);
  rewind(file);
  char *bytes = malloc((size_t)size + 1);
  if (!bytes || fread(bytes, 1, (size_t)size, file) != (size_t)size) return 2;
  fclose(file);
  size_t count = 0;
  for (long i = 0; i < size; ++i) count += bytes[i] == '\n';
  const char **numbers = malloc(count * sizeof *numbers);
  if (!numbers) return 2;
  size_t n = 0;
  for (char *line = bytes, *end; n < count && (end = memchr(line, '\n', (size_t)(bytes + size - line))); line = end + 1) {
    *end = '\0';
    numbers[n++] = line;
  }
  /* The same numbers as a column: end to end, without their NULs, and their offsets. */
  char *data = malloc((size_t)size + 1);
  int64_t *offsets = malloc((n + 1) * sizeof *offsets);
  bool *answers = malloc(n + 1);
  if (!data || !offsets || !answers) return 2;
  offsets[0] = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t length = strlen(numbers[i]);
    memcpy(data + offsets[i], numbers[i], length);
    offsets[i + 1] = offsets[i] + (int64_t)length;
  }
  double best = 1e30;
  int64_t total = 0;
  for (int round = 0; round < rounds; ++round) {
    const double start = Seconds();
    if (column) {
      column_check(data, offsets, n, answers);
      for (size_t i = 0; i < n; ++i) total += answers[i];
    } else {
      for (size_t i = 0; i < n; ++i) total += check(numbers[i]);
    }
    const double took = Seconds() - start;
    if (took < best) best = took;
  }
  printf("%.2f %lld\n", best / (double)n * 1e9, (long long)total);
  free(answers);
  free(offsets);
  free(data);
  free(numbers);
  free(bytes);
  return 0;
}
