/* tessera.h -- validate payment card numbers and GPA identity-document numbers
 *
 * Every check takes one NUL-terminated 8-bit text (a null pointer is the
 * empty text) and answers -1 for yes and 0 for no, the truth values of
 * Visual Basic style hosts. CheckGPANoAge answers an age in years instead,
 * 0 when the number is not valid. Malformed text is simply "no".
 *
 * The checks keep no state, allocate nothing and only read the caller's
 * text, so they may be called from any number of threads at once (but see
 * CheckGPANoExpired below on signal handlers and fork).
 */
#ifndef TESSERA_H
#define TESSERA_H

#include <stdint.h>

#if defined(_WIN32)
#  define TESSERA_CALL __stdcall
#else
#  define TESSERA_CALL
#endif

/* Windows builds export by the module definition file, which keeps the
 * names undecorated; elsewhere only these names are made visible. */
#if defined(TESSERA_BUILDING) && !defined(_WIN32) && defined(__GNUC__)
#  define TESSERA_API __attribute__((visibility("default")))
#else
#  define TESSERA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Card brands: the length of the text and its first characters. */
TESSERA_API int32_t TESSERA_CALL IsAmex(const char *text);
TESSERA_API int32_t TESSERA_CALL IsDC(const char *text);
TESSERA_API int32_t TESSERA_CALL IsDisc(const char *text);
TESSERA_API int32_t TESSERA_CALL IsJCB(const char *text);
TESSERA_API int32_t TESSERA_CALL IsMC(const char *text);
TESSERA_API int32_t TESSERA_CALL IsVisa(const char *text);
TESSERA_API int32_t TESSERA_CALL CheckOrganization(const char *text);

/* Luhn (mod 10) checksum; yes for the empty text. */
TESSERA_API int32_t TESSERA_CALL CheckNumber(const char *text);
/* A known brand that also passes the checksum. */
TESSERA_API int32_t TESSERA_CALL CheckCard(const char *text);

/* 29-character GPA numbers: layout and the four 7-3-1 check digits. */
TESSERA_API int32_t TESSERA_CALL CheckGPANo(const char *text);

/* The next two read today's date from the local clock. On POSIX systems that
 * is localtime_r, which takes the C library's time-zone lock: do not call
 * them from a signal handler (they may deadlock), nor in a child forked while
 * other threads may be inside them (it may hang); the other ten checks are
 * safe in both places. The time zone is TZ as it was at the last tzset(): a
 * process that changes TZ calls tzset() for the change to count. */
/* Yes while the document is still valid today (the expiry day included). */
TESSERA_API int32_t TESSERA_CALL CheckGPANoExpired(const char *text);
/* The holder's age in years by the local clock, 0 for a number that is not valid. */
TESSERA_API int32_t TESSERA_CALL CheckGPANoAge(const char *text);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_H */
