// today.cpp -- reads the local calendar date from the system clock
#include "frame/today.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace tessera {

Date LocalToday() {
#if defined(_WIN32)
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
#else
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
#endif
}

}  // namespace tessera
