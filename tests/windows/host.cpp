// host.cpp -- loads Tessera.DLL the way a Windows host does and runs the shared cases
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "tests/cases/cards.h"
#include "tests/cases/gpa.h"

namespace {

using Check = int32_t(__stdcall*)(const char*);
using Entry = BOOL(__stdcall*)(HINSTANCE, DWORD, LPVOID);

int passed = 0;
int failed = 0;

void Expect(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

struct ExportRow {
  const char* name;
  WORD ordinal;
};

constexpr ExportRow kExports[] = {
    {"CheckCard", 1}, {"CheckGPANo", 2}, {"CheckGPANoAge", 3}, {"CheckGPANoExpired", 4},
    {"CheckNumber", 5}, {"CheckOrganization", 6}, {"DLLEntryPoint", 7}, {"IsAmex", 8},
    {"IsDC", 9}, {"IsDisc", 10}, {"IsJCB", 11}, {"IsMC", 12}, {"IsVisa", 13},
};

// A stdcall callee pops its own argument; one that does not, or pops too
// much, leaves the stack pointer moved, which this call sees.
bool stack_balanced = true;

int32_t Call(Check check, const char* text) {
#if defined(__i386__)
  int32_t result;
  uint32_t before, after;
  asm volatile(
      "movl %%esp, %[before]\n\t"
      "pushl %[text]\n\t"
      "call *%[check]\n\t"
      "movl %%esp, %[after]\n\t"
      "movl %[before], %%esp\n\t"
      : "=a"(result), [before] "=&S"(before), [after] "=&D"(after)
      : [text] "r"(text), [check] "r"(check)
      : "ecx", "edx", "memory", "cc");
  if (before != after) stack_balanced = false;
  return result;
#else
  return check(text);
#endif
}

BOOL CallEntry(Entry entry, HINSTANCE instance, DWORD reason) {
#if defined(__i386__)
  BOOL result;
  uint32_t before, after;
  // One register holds all three arguments: the pushes move the stack
  // pointer, so no operand may live relative to it.
  const uint32_t arguments[3] = {reinterpret_cast<uint32_t>(instance), reason, 0};
  asm volatile(
      "movl %%esp, %[before]\n\t"
      "pushl 8(%[arguments])\n\t"
      "pushl 4(%[arguments])\n\t"
      "pushl (%[arguments])\n\t"
      "call *%[entry]\n\t"
      "movl %%esp, %[after]\n\t"
      "movl %[before], %%esp\n\t"
      : "=a"(result), [before] "=&S"(before), [after] "=&D"(after)
      : [arguments] "r"(arguments), [entry] "r"(entry)
      : "ecx", "edx", "memory", "cc");
  if (before != after) stack_balanced = false;
  return result;
#else
  return entry(instance, reason, nullptr);
#endif
}

struct Module {
  HMODULE handle = nullptr;
  Check IsAmex, IsDC, IsDisc, IsJCB, IsMC, IsVisa, CheckOrganization, CheckNumber, CheckCard;
  Check CheckGPANo, CheckGPANoExpired, CheckGPANoAge;
  Entry DLLEntryPoint;
};

void* Resolve(HMODULE handle, const char* name) { return reinterpret_cast<void*>(GetProcAddress(handle, name)); }

Module Load() {
  Module m;
  m.handle = LoadLibraryA("Tessera.DLL");
  Expect(m.handle != nullptr, "LoadLibraryA(\"Tessera.DLL\")");
  if (!m.handle) return m;
  for (const ExportRow& row : kExports) {
    const void* by_name = Resolve(m.handle, row.name);
    const void* by_ordinal = Resolve(m.handle, MAKEINTRESOURCEA(row.ordinal));
    Expect(by_name != nullptr && by_name == by_ordinal,
           std::string(row.name) + " by name and by ordinal " + std::to_string(row.ordinal));
    const std::string name = row.name;
    for (const std::string& decorated : {name + "@4", name + "@12", std::string("_").append(name)}) {
      Expect(Resolve(m.handle, decorated.c_str()) == nullptr, "no decorated export " + decorated);
    }
  }
  Expect(Resolve(m.handle, MAKEINTRESOURCEA(14)) == nullptr, "nothing at ordinal 14");
  auto check = [&](const char* name) { return reinterpret_cast<Check>(Resolve(m.handle, name)); };
  m.IsAmex = check("IsAmex");
  m.IsDC = check("IsDC");
  m.IsDisc = check("IsDisc");
  m.IsJCB = check("IsJCB");
  m.IsMC = check("IsMC");
  m.IsVisa = check("IsVisa");
  m.CheckOrganization = check("CheckOrganization");
  m.CheckNumber = check("CheckNumber");
  m.CheckCard = check("CheckCard");
  m.CheckGPANo = check("CheckGPANo");
  m.CheckGPANoExpired = check("CheckGPANoExpired");
  m.CheckGPANoAge = check("CheckGPANoAge");
  m.DLLEntryPoint = reinterpret_cast<Entry>(Resolve(m.handle, "DLLEntryPoint"));
  return m;
}

int32_t Truth(bool yes) { return yes ? -1 : 0; }

void RunCardCases(const Module& m, std::span<const tessera::cases::CardCase> rows) {
  using tessera::cases::CardBrand;
  for (const auto& row : rows) {
    const std::string at = std::string("\"") + row.text + "\" (" + row.why + "): ";
    const char* t = row.text;
    Expect(Call(m.IsAmex, t) == Truth(row.brand == CardBrand::Amex), at + "IsAmex");
    Expect(Call(m.IsDC, t) == Truth(row.brand == CardBrand::DinersClub), at + "IsDC");
    Expect(Call(m.IsDisc, t) == Truth(row.brand == CardBrand::Discover), at + "IsDisc");
    Expect(Call(m.IsJCB, t) == Truth(row.brand == CardBrand::Jcb), at + "IsJCB");
    Expect(Call(m.IsMC, t) == Truth(row.brand == CardBrand::MasterCard), at + "IsMC");
    Expect(Call(m.IsVisa, t) == Truth(row.brand == CardBrand::Visa), at + "IsVisa");
    Expect(Call(m.CheckOrganization, t) == Truth(row.brand != CardBrand::None), at + "CheckOrganization");
    Expect(Call(m.CheckNumber, t) == Truth(row.luhn), at + "CheckNumber");
    Expect(Call(m.CheckCard, t) == Truth(row.brand != CardBrand::None && row.luhn), at + "CheckCard");
  }
}

void RunGpaCases(const Module& m, std::span<const tessera::cases::GpaCase> rows) {
  for (const auto& row : rows) {
    const std::string at = std::string("\"") + row.text + "\" (" + row.why + "): ";
    Expect(Call(m.CheckGPANo, row.text) == Truth(row.valid), at + "CheckGPANo");
    if (!row.valid) {
      Expect(Call(m.CheckGPANoExpired, row.text) == 0, at + "CheckGPANoExpired");
      Expect(Call(m.CheckGPANoAge, row.text) == 0, at + "CheckGPANoAge");
    }
  }
}

SYSTEMTIME DaysFrom(const SYSTEMTIME& day, int days) {
  FILETIME file;
  SystemTimeToFileTime(&day, &file);
  ULARGE_INTEGER ticks;
  ticks.LowPart = file.dwLowDateTime;
  ticks.HighPart = file.dwHighDateTime;
  ticks.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(days) * 864000000000LL);
  file.dwLowDateTime = ticks.LowPart;
  file.dwHighDateTime = ticks.HighPart;
  SYSTEMTIME result;
  FileTimeToSystemTime(&file, &result);
  return result;
}

std::string YyMmDd(const SYSTEMTIME& day) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u%02u%02u", day.wYear % 100u, day.wMonth, day.wDay);
  return text;
}

// The exported date checks read GetLocalTime; the cases are built around it.
void RunDateCases(const Module& m) {
  SYSTEMTIME today, after;
  GetLocalTime(&today);
  const std::string expires_today = tessera::cases::MakeGpa("123456789", "750615", YyMmDd(today));
  const std::string expired = tessera::cases::MakeGpa("123456789", "750615", YyMmDd(DaysFrom(today, -1)));
  const std::string expires_tomorrow = tessera::cases::MakeGpa("123456789", "750615", YyMmDd(DaysFrom(today, 1)));
  SYSTEMTIME last_year = today;
  last_year.wYear = static_cast<WORD>(today.wYear - 1);
  const std::string born_last_year = tessera::cases::MakeGpa("123456789", YyMmDd(last_year), "790101");
  const std::string born_this_year = tessera::cases::MakeGpa("123456789", YyMmDd(today), "790101");
  const int32_t answers[] = {
      Call(m.CheckGPANoExpired, expires_today.c_str()), Call(m.CheckGPANoExpired, expired.c_str()),
      Call(m.CheckGPANoExpired, expires_tomorrow.c_str()), Call(m.CheckGPANoAge, born_last_year.c_str()),
      Call(m.CheckGPANoAge, born_this_year.c_str())};
  GetLocalTime(&after);
  if (after.wDay != today.wDay) {
    std::printf("skipped the date cases: local midnight passed during them\n");
    return;
  }
  Expect(answers[0] == -1, "expires today: still valid");
  Expect(answers[1] == 0, "expired yesterday");
  Expect(answers[2] == -1, "expires tomorrow");
  Expect(answers[3] == 1, "born last year: age 1");
  Expect(answers[4] == 100, "born this year: age 100");
}

// The text ends right before a no-access page, in read-only memory, so a
// read past the NUL or a write to the caller's text faults.
class GuardedText {
 public:
  explicit GuardedText(const std::string& text) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const SIZE_T page = info.dwPageSize;
    readable_ = (text.size() + 1 + page - 1) / page * page;
    base_ = static_cast<char*>(VirtualAlloc(nullptr, readable_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    text_ = base_ + readable_ - text.size() - 1;
    for (std::size_t i = 0; i <= text.size(); ++i) text_[i] = text.c_str()[i];
    DWORD old;
    VirtualProtect(base_, readable_, PAGE_READONLY, &old);
    VirtualProtect(base_ + readable_, page, PAGE_NOACCESS, &old);
  }
  ~GuardedText() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedText(const GuardedText&) = delete;
  GuardedText& operator=(const GuardedText&) = delete;
  const char* c_str() const { return text_; }

 private:
  char* base_;
  char* text_;
  SIZE_T readable_;
};

void RunGuardedTexts(const Module& m) {
  const Check checks[] = {m.IsAmex, m.IsDC, m.IsDisc, m.IsJCB, m.IsMC, m.IsVisa, m.CheckOrganization,
                          m.CheckNumber, m.CheckCard, m.CheckGPANo, m.CheckGPANoExpired, m.CheckGPANoAge};
  const std::string gpa = tessera::cases::kWorkedGpa;
  int mismatches = 0;
  for (std::size_t length : {0u, 1u, 2u, 13u, 14u, 15u, 16u, 28u, 29u, 30u, 63u, 64u, 4095u, 4096u, 65536u}) {
    std::string digits, cut;
    for (std::size_t i = 0; i < length; ++i) {
      digits += static_cast<char>('0' + (i * 7 + 3) % 10);
      cut += gpa[i % gpa.size()];
    }
    for (const std::string& text : {digits, cut}) {
      const GuardedText guarded(text);
      for (Check check : checks) mismatches += Call(check, guarded.c_str()) != Call(check, text.c_str());
    }
  }
  Expect(mismatches == 0, "texts at the edge of a no-access page, read-only: same answers, no fault");
}

void RunAll(const Module& m) {
  RunCardCases(m, tessera::cases::kBrandLengthCases);
  RunCardCases(m, tessera::cases::kBrandPrefixCases);
  RunCardCases(m, tessera::cases::kLuhnCases);
  RunCardCases(m, tessera::cases::kCardCases);
  RunGpaCases(m, tessera::cases::kGpaLayoutCases);
  RunGpaCases(m, tessera::cases::kGpaMutationCases);
  RunDateCases(m);
  RunGuardedTexts(m);
  for (Check check : {m.IsAmex, m.IsDC, m.IsDisc, m.IsJCB, m.IsMC, m.IsVisa, m.CheckOrganization, m.CheckCard,
                      m.CheckGPANo, m.CheckGPANoExpired, m.CheckGPANoAge}) {
    Expect(Call(check, nullptr) == 0, "a null argument is the empty text: no");
  }
  Expect(Call(m.CheckNumber, nullptr) == -1, "CheckNumber(null) is yes, as for the empty text");
}

}  // namespace

int main() {
  for (int round = 1; round <= 2; ++round) {
    const Module m = Load();
    if (!m.handle) break;
    RunAll(m);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_ATTACH, DLL_PROCESS_DETACH}) {
      Expect(CallEntry(m.DLLEntryPoint, m.handle, reason) == 1, "DLLEntryPoint returns 1 for reason " + std::to_string(reason));
    }
    RunCardCases(m, tessera::cases::kCardCases);
    Expect(FreeLibrary(m.handle) != 0, "FreeLibrary, round " + std::to_string(round));
  }
  Expect(stack_balanced, "every call left the stack pointer where it was");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
