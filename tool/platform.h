// platform.h -- the few system calls the tool makes, for POSIX and for Windows
//
// Everything above this layer sees byte streams and numeric error codes;
// only platform.cpp knows file descriptors from handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessera::tool::sys {

#if defined(_WIN32)
using Handle = void*;
#else
using Handle = int;
#endif

Handle StandardInput();
Handle StandardOutput();
Handle StandardError();

// Once, first thing in main: a closed pipe becomes an error code instead of
// a signal, a closed standard stream is /dev/null, and on Windows the
// standard streams carry bytes untranslated.
void Start();

// Bytes moved by one call, or the error that stopped it (0 for none).
// A read of 0 bytes without an error is the end of the input.
struct Transfer {
  std::size_t bytes;
  int error;
};

// Waits while the input is non-blocking and has nothing yet; retries
// interrupted calls.
Transfer Read(Handle in, char* to, std::size_t size);
// Writes at least one byte unless there is an error; waits while a
// non-blocking output is full.
Transfer Write(Handle out, const char* from, std::size_t size);

bool IsTerminal(Handle h);

// Whether a read may wait for a writer: a pipe, terminal, socket or device,
// not a file on disk.
bool MayWait(Handle h);

// The reader of a pipe or socket has gone away.
bool IsBrokenPipe(int error);

struct Opened {
  Handle handle;
  int error;  // 0 when opened
};
// `path` is UTF-8 on every platform.
Opened OpenForReading(const std::string& path);
void Close(Handle h);

// The system's words for an error code, one line, no final period.
std::string ErrorText(int error);

// The command line as UTF-8 words: argv itself on POSIX; on Windows read
// again in UTF-16 and converted, so that any file name can be given.
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace tessera::tool::sys
