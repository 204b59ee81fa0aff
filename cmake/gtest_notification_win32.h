// Included ahead of every file of GoogleTest and of the tests in the Windows cross build.
//
// GCC 12's win32 thread model (the one that needs no winpthread DLL) has no std::mutex or
// std::condition_variable, and GoogleTest uses them only for its Notification, a one-shot flag
// between threads of its own thread tests. This stands in for it with an atomic flag; the
// project's tests start no threads, so the wait is never reached.
#pragma once

#include <atomic>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : notified_(false) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_;
};

}  // namespace internal
}  // namespace testing
