// platform.cpp -- the few system calls the tool makes, for POSIX and for Windows
#include "tool/platform.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <climits>

namespace tessera::tool::sys {

#if defined(_WIN32)

Handle StandardInput() { return GetStdHandle(STD_INPUT_HANDLE); }
Handle StandardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }
Handle StandardError() { return GetStdHandle(STD_ERROR_HANDLE); }

void Start() {
  // Numbers, file names and messages are UTF-8; a console shows them right
  // only when told so.
  SetConsoleOutputCP(CP_UTF8);
}

namespace {
DWORD Chunk(std::size_t size) { return size > (1u << 30) ? DWORD{1u << 30} : static_cast<DWORD>(size); }
}  // namespace

Transfer Read(Handle in, char* to, std::size_t size) {
  DWORD got = 0;
  if (ReadFile(in, to, Chunk(size), &got, nullptr)) return {got, 0};
  const DWORD error = GetLastError();
  // The writing end of a pipe closed: the input has ended.
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {0, 0};
  return {0, static_cast<int>(error)};
}

Transfer Write(Handle out, const char* from, std::size_t size) {
  for (;;) {
    DWORD wrote = 0;
    if (!WriteFile(out, from, Chunk(size), &wrote, nullptr)) return {0, static_cast<int>(GetLastError())};
    if (wrote > 0 || size == 0) return {wrote, 0};
    // A pipe in non-waiting mode takes nothing while full.
    Sleep(1);
  }
}

bool IsTerminal(Handle h) {
  DWORD mode = 0;
  return GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

bool MayWait(Handle h) { return GetFileType(h) != FILE_TYPE_DISK; }

bool IsBrokenPipe(int error) { return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA; }

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
  utf8.pop_back();  // the NUL
  return utf8;
}

}  // namespace

Opened OpenForReading(const std::string& path) {
  // A name that does not convert (invalid UTF-8) cannot name a file.
  const std::wstring wide = Wide(path);
  if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return {INVALID_HANDLE_VALUE, ERROR_INVALID_NAME};
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {h, static_cast<int>(GetLastError())};
  return {h, 0};
}

void Close(Handle h) { CloseHandle(h); }

std::string ErrorText(int error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
      nullptr);
  std::string message = n ? Narrow(text) : std::string("error ").append(std::to_string(error));
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) words.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return words;
}

#else

Handle StandardInput() { return STDIN_FILENO; }
Handle StandardOutput() { return STDOUT_FILENO; }
Handle StandardError() { return STDERR_FILENO; }

void Start() {
  ::signal(SIGPIPE, SIG_IGN);
  // A descriptor 0 to 2 left closed by the parent would be handed to the
  // next file opened, which output or standard input would then reach.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

namespace {

// A parent may hand over a stream in non-blocking mode (Node.js does):
// then the tool waits for it instead of giving up.
bool WaitFor(Handle h, short events) {
  pollfd p{h, events, 0};
  for (;;) {
    const int n = ::poll(&p, 1, -1);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

std::size_t Chunk(std::size_t size) { return size > (std::size_t{1} << 30) ? std::size_t{1} << 30 : size; }

}  // namespace

Transfer Read(Handle in, char* to, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(in, to, Chunk(size));
    if (got >= 0) return {static_cast<std::size_t>(got), 0};
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(in, POLLIN)) continue;
    return {0, errno};
  }
}

Transfer Write(Handle out, const char* from, std::size_t size) {
  for (;;) {
    const ssize_t wrote = ::write(out, from, Chunk(size));
    if (wrote >= 0) return {static_cast<std::size_t>(wrote), 0};
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(out, POLLOUT)) continue;
    return {0, errno};
  }
}

bool IsTerminal(Handle h) { return ::isatty(h) == 1; }

bool MayWait(Handle h) {
  struct stat info{};
  return ::fstat(h, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
}

bool IsBrokenPipe(int error) { return error == EPIPE; }

Opened OpenForReading(const std::string& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) return {fd, 0};
    if (errno != EINTR) return {-1, errno};
  }
}

void Close(Handle h) { ::close(h); }

std::string ErrorText(int error) { return std::strerror(error); }

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

#endif

}  // namespace tessera::tool::sys
