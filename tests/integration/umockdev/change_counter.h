#pragma once
// Counts the arrivals and removals a device directory reports, and waits for them: the uevents
// of the testbed reach the directory's monitor thread asynchronously.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "host/device_directory.h"

namespace umocktest {

class ChangeCounter {
 public:
  explicit ChangeCounter(host::DeviceDirectory& directory) : directory_(directory) {
    id_ = directory_.subscribe([this](host::DeviceChange change) {
      std::lock_guard lock(mutex_);
      ++(change == host::DeviceChange::Arrival ? arrivals_ : removals_);
      changed_.notify_all();
    });
  }
  ~ChangeCounter() { directory_.unsubscribe(id_); }
  ChangeCounter(const ChangeCounter&) = delete;
  ChangeCounter& operator=(const ChangeCounter&) = delete;

  // Waits until at least this many arrivals and removals were reported in all, or `bound` has
  // passed; true when they were. The bound only keeps a lost event from hanging the test; the
  // caller checks the counts.
  bool waitFor(int arrivals, int removals,
               std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound,
                             [&] { return arrivals_ >= arrivals && removals_ >= removals; });
  }
  int arrivals() {
    std::lock_guard lock(mutex_);
    return arrivals_;
  }
  int removals() {
    std::lock_guard lock(mutex_);
    return removals_;
  }

 private:
  host::DeviceDirectory& directory_;
  int id_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  int arrivals_ = 0;
  int removals_ = 0;
};

}  // namespace umocktest
