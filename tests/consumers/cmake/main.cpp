// main.cpp -- a C++ program built against an installed Tessera through find_package
#include <tessera.h>

#include <cstdio>

int main() {
  const bool ok = IsAmex("378282246310005") == -1 && CheckCard("4111111111111111") == -1 &&
                  CheckGPANoAge("12345678970-7506154-0909309-5") == 0;
  std::puts(ok ? "c++ consumer: ok" : "c++ consumer: wrong answers");
  return ok ? 0 : 1;
}
