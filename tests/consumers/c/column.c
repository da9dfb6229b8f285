/* column.c -- judges a column of card numbers in one call, then one GPA number on a given day */
#include <stdio.h>
#include <string.h>
#include <tessera_text.h>

int main(void) {
  /* Three numbers end to end, as a column of Arrow strings holds them. */
  const char data[] = "4111111111111111" "4111111111111112" "378282246310005";
  const int32_t offsets[] = {0, 16, 32, 47};
  tessera_card_verdict verdicts[3];
  char masked[sizeof data];
  tessera_strings_card_verdict(data, offsets, 3, verdicts);
  tessera_strings_mask_card(data, offsets, 3, masked);
  for (int i = 0; i < 3; ++i)
    printf("%.*s: %s, %s\n", (int)(offsets[i + 1] - offsets[i]), masked + offsets[i],
           tessera_brand_name(verdicts[i].brand), verdicts[i].valid ? "valid" : "invalid");

  const char *gpa = "12345678970-7506154-0909309-0";
  const tessera_date day = {2026, 12, 8};
  const tessera_id_verdict id = tessera_text_id_verdict(gpa, strlen(gpa), &day);
  printf("%s: check digits %s, %s, holder aged %d\n", gpa, id.check_digits ? "right" : "wrong",
         id.unexpired ? "unexpired" : "expired", (int)id.age);
  return 0;
}
