#include "records/record_writer.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "records/record_database.h"
#include "records/sha256.h"
#include "records/spool.h"

namespace records {

struct RecordWriter::Shared {
  struct Job {
    RunRecord record;
    std::shared_ptr<const FirmwareImages> firmware;
    uint64_t ticket = 0;
  };

  explicit Shared(WriterSettings given) : settings(std::move(given)) {}

  const WriterSettings settings;
  std::mutex mutex;
  std::condition_variable spoolWake;    // work for the spool thread
  std::condition_variable deliverWake;  // work for the delivery thread
  std::condition_variable spooled;      // a job is in the spool
  std::condition_variable delivererEnded;
  std::deque<Job> toSpool;
  std::deque<std::string> delivered;  // uids to take out of the spool
  std::deque<RunRecord> toDeliver;
  int spooling = 0;  // jobs the spool thread has taken and not yet passed on
  uint64_t lastTicket = 0;
  uint64_t spooledTicket = 0;
  bool closing = false;
  bool abandoned = false;  // close stopped waiting for the delivery thread
  bool spoolerEnded = false;
  bool delivererDone = false;

  bool spoolerIdle() const { return toSpool.empty() && spooling == 0; }
};

namespace {

using Shared = RecordWriter::Shared;
using Clock = std::chrono::steady_clock;

// The digests of the load and of the QCN file, read on the spool thread.
void completeRecord(Shared::Job& job) {
  if (job.firmware) job.record.images = job.firmware->digests();
  if (!job.record.qcnFile.empty()) {
    if (auto digest = sha256OfFile(job.record.qcnFile)) job.record.qcnSha256 = digest->sha256;
  }
}

std::unique_ptr<Spool> openSpool(const std::string& path) {
  try {
    return std::make_unique<Spool>(path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "records: the spool %s cannot be opened: %s\n", path.c_str(),
                 error.what());
    return nullptr;
  }
}

template <class Action>
bool attempt(const char* what, Action action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "records: %s: %s\n", what, error.what());
    return false;
  }
}

void runSpooler(std::shared_ptr<Shared> shared) {
  Shared& s = *shared;
  std::unique_ptr<Spool> spool = openSpool(s.settings.spoolPath);
  std::vector<RunRecord> earlier;
  if (spool) attempt("reading the spool", [&] { earlier = spool->pending(); });
  std::unique_lock lock(s.mutex);
  // Runs an earlier station left behind go first.
  s.toDeliver.insert(s.toDeliver.begin(), earlier.begin(), earlier.end());
  s.deliverWake.notify_all();
  for (;;) {
    s.spoolWake.wait(lock, [&] {
      return !s.toSpool.empty() || !s.delivered.empty() || s.abandoned ||
             (s.closing && s.delivererDone);
    });
    if (!s.delivered.empty()) {
      std::deque<std::string> uids;
      uids.swap(s.delivered);
      lock.unlock();
      for (const std::string& uid : uids) {
        if (spool) attempt("taking a run out of the spool", [&] { spool->remove(uid); });
      }
      lock.lock();
    } else if (!s.toSpool.empty()) {
      Shared::Job job = std::move(s.toSpool.front());
      s.toSpool.pop_front();
      ++s.spooling;
      lock.unlock();
      completeRecord(job);
      if (!spool) spool = openSpool(s.settings.spoolPath);
      const bool kept =
          spool && attempt("writing a run to the spool", [&] { spool->append(job.record); });
      if (!kept && s.settings.note) {
        s.settings.note(job.record.dut,
                        "Record of this run could not be written to the local spool; it is kept "
                        "in memory until the record database takes it.");
      }
      lock.lock();
      s.toDeliver.push_back(std::move(job.record));
      --s.spooling;
      s.spooledTicket = job.ticket;
      s.spooled.notify_all();
      s.deliverWake.notify_all();
    } else {
      break;  // closing, and nothing is left to do
    }
  }
  s.spoolerEnded = true;
  s.spooled.notify_all();
}

// One delivery of the oldest waiting run; false when the database could not take it.
bool deliverOne(std::unique_ptr<RecordDatabase>& db, const std::string& connection,
                const RunRecord& record, std::string& error) {
  try {
    if (!db) {
      db = std::make_unique<RecordDatabase>(connection);
      db->migrate();
    }
    db->deliver(record);
    return true;
  } catch (const std::exception& failure) {
    db.reset();
    error = failure.what();
    return false;
  }
}

void runDeliverer(std::shared_ptr<Shared> shared) {
  Shared& s = *shared;
  std::unique_ptr<RecordDatabase> db;
  bool outage = false;
  auto retry = s.settings.retry;
  Clock::time_point nextAttempt = Clock::now();
  std::unique_lock lock(s.mutex);
  for (;;) {
    // While closing, every run still waiting gets one more try, without the pause.
    const auto ready = [&] {
      return s.abandoned || (s.closing && (outage || (s.toDeliver.empty() && s.spoolerIdle()))) ||
             (!s.toDeliver.empty() && (s.closing || Clock::now() >= nextAttempt));
    };
    if (s.toDeliver.empty() || s.closing) {
      s.deliverWake.wait(lock, ready);
    } else {
      s.deliverWake.wait_until(lock, nextAttempt, ready);
    }
    if (s.abandoned || (s.closing && (outage || (s.toDeliver.empty() && s.spoolerIdle())))) {
      break;
    }
    if (s.toDeliver.empty() || (!s.closing && Clock::now() < nextAttempt)) continue;
    const RunRecord record = s.toDeliver.front();
    lock.unlock();
    std::string error;
    const bool done = deliverOne(db, s.settings.connection, record, error);
    std::replace_if(
        error.begin(), error.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    lock.lock();
    if (done) {
      if (!s.toDeliver.empty() && s.toDeliver.front().uid == record.uid) s.toDeliver.pop_front();
      s.delivered.push_back(record.uid);
      s.spoolWake.notify_all();
      outage = false;
      retry = s.settings.retry;
      continue;
    }
    nextAttempt = Clock::now() + retry;
    retry = std::min(retry * 2, s.settings.longestRetry);
    if (outage) continue;
    outage = true;
    if (s.settings.note && !s.abandoned) {
      lock.unlock();
      s.settings.note(record.dut,
                      "Record database unreachable (" + error +
                          "); runs are kept in the local spool and delivered when it is back.");
      lock.lock();
    }
  }
  s.delivererDone = true;
  s.delivererEnded.notify_all();
  s.spoolWake.notify_all();
}

}  // namespace

RecordWriter::RecordWriter(WriterSettings settings)
    : shared_(std::make_shared<Shared>(std::move(settings))) {
  spooler_ = std::thread(runSpooler, shared_);
  deliverer_ = std::thread(runDeliverer, shared_);
}

RecordWriter::~RecordWriter() {
  close();
}

void RecordWriter::store(RunRecord record, std::shared_ptr<const FirmwareImages> firmware) {
  Shared& s = *shared_;
  std::unique_lock lock(s.mutex);
  if (s.closing) {
    std::fprintf(stderr, "records: a run finished after the writer closed is not kept: %s\n",
                 record.uid.c_str());
    return;
  }
  const uint64_t ticket = ++s.lastTicket;
  s.toSpool.push_back({std::move(record), std::move(firmware), ticket});
  s.spoolWake.notify_all();
  s.spooled.wait(lock, [&] { return s.spooledTicket >= ticket || s.spoolerEnded; });
}

void RecordWriter::close() {
  Shared& s = *shared_;
  {
    std::unique_lock lock(s.mutex);
    if (s.closing) return;
    s.closing = true;
    s.spoolWake.notify_all();
    s.deliverWake.notify_all();
    const auto deadline = Clock::now() + s.settings.closeWait;
    if (!s.delivererEnded.wait_until(lock, deadline, [&] { return s.delivererDone; })) {
      s.abandoned = true;
      s.spoolWake.notify_all();
      s.deliverWake.notify_all();
    }
  }
  if (spooler_.joinable()) spooler_.join();
  if (deliverer_.joinable()) {
    std::unique_lock lock(s.mutex);
    if (s.delivererDone) {
      lock.unlock();
      deliverer_.join();
    } else {
      // A delivery stuck in the network: it keeps its own share of the state and ends alone.
      lock.unlock();
      deliverer_.detach();
    }
  }
}

}  // namespace records
