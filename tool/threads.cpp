// threads.cpp -- a lock, a condition and a thread, on every system the tool is built for
#include "tool/threads.h"

#include <system_error>

namespace tessera::tool {

#if defined(_WIN32)

namespace {

DWORD WINAPI RunWork(void* work) {
  (*static_cast<std::function<void()>*>(work))();
  return 0;
}

}  // namespace

Thread::Thread(std::function<void()> work) : work_(std::make_unique<std::function<void()>>(std::move(work))) {
  handle_ = CreateThread(nullptr, 0, RunWork, work_.get(), 0, nullptr);
}

bool Thread::started() const { return handle_ != nullptr; }

void Thread::Join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

#else

Thread::Thread(std::function<void()> work) {
  try {
    thread_ = std::thread(std::move(work));
  } catch (const std::system_error&) {
  }
}

bool Thread::started() const { return thread_.joinable(); }

void Thread::Join() {
  if (thread_.joinable()) thread_.join();
}

#endif

Thread::~Thread() { Join(); }

unsigned Processors() {
#if defined(_WIN32)
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const unsigned n = info.dwNumberOfProcessors;
#else
  const unsigned n = std::thread::hardware_concurrency();
#endif
  return n == 0 ? 1 : n;
}

}  // namespace tessera::tool
