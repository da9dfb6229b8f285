// exports.cpp -- the twelve exports of tessera.h, made from the table of operations
//
// Each export views the caller's NUL-terminated text (null is the empty
// text), asks the operation's row of frame/answers.h, as tessera_text.h
// does, and turns yes into -1. Nothing is copied or allocated and nothing is
// kept between calls.
#include "tessera.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/answers.h"
#include "frame/operations.h"

namespace {

// An operation that answers no for every text longer than the longest it
// accepts is measured only up to one character past that: a megabyte costs
// it no more than a short text.
template <std::size_t kLongest>
tessera::Text View(const char* text) {
  if (text == nullptr) return {};
  if constexpr (kLongest == TESSERA_LONGEST_ANY)
    return tessera::Text(text);
  else
    return tessera::Text(text, strnlen(text, kLongest + 1));
}

constexpr int32_t Exported(bool yes) { return -static_cast<int32_t>(yes); }
constexpr int32_t Exported(int32_t age) { return age; }

}  // namespace

// The exports judge on today by the local clock.
#define TESSERA_EXPORT(name, Export, exported, arguments, answer, brand, longest, meaning) \
  TESSERA_EXPORT_##exported(name, Export, TESSERA_LONGEST_##longest, TESSERA_TODAY_##arguments)
#define TESSERA_TODAY_TEXT
#define TESSERA_TODAY_TEXT_DAY , tessera::LocalToday
#define TESSERA_EXPORT_API_ONLY(name, Export, longest, today)
#define TESSERA_EXPORT_EXPORTED(name, Export, longest, today)                              \
  int32_t TESSERA_CALL Export(const char* text) {                                          \
    return Exported(tessera::answers::name::One(View<longest>(text) today));               \
  }

extern "C" {
TESSERA_OPERATIONS(TESSERA_EXPORT)
}  // extern "C"
