// today.cpp -- reads the local calendar date from the system clock
#include "base/today.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace tessera {

std::optional<Date> LocalToday() {
#if defined(_WIN32)
  SYSTEMTIME now;
  GetLocalTime(&now);
  const Date today{now.wYear, now.wMonth, now.wDay};
#else
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) return std::nullopt;
  // tm_year counts from 1900 in an int: add in a wider type.
  const int64_t year = int64_t{local.tm_year} + 1900;
  if (year < 1 || year > kLatestYear) return std::nullopt;
  const Date today{static_cast<int32_t>(year), local.tm_mon + 1, local.tm_mday};
#endif
  if (!IsRepresentable(today)) return std::nullopt;
  return today;
}

}  // namespace tessera
