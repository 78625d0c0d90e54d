#include "slots_fixture.h"

#include <unistd.h>

#include <cstdlib>

#include "host/clock.h"
#include "host/event_loop.h"
#include "host/locks.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "station/at_services.h"
#include "station/dut_timer.h"
#include "station/port_discovery.h"
#include "station/slot_access.h"
#include "station/station_state.h"

namespace slotstest {
namespace {

// Every fixed wait of the station becomes a thousandth of itself (serial time-outs keep their
// floor of 250 ms).
const bool kScaledWaits = [] { return ::setenv("ZENDRAL_TIME_SCALE", "0.001", 1) == 0; }();

int nextResult(std::deque<int>& results, int fallback) {
  if (results.empty()) return fallback;
  const int result = results.front();
  results.pop_front();
  return result;
}

int runFake(const char* operation, std::deque<int>& results, const DownloadRequest& request) {
  int result;
  std::function<void(const std::string&, const DownloadRequest&)> hook;
  {
    std::lock_guard lock(FakePlatform::mutex);
    FakePlatform::recorded.push_back({operation, request});
    result = nextResult(results, 0);
    hook = FakePlatform::hook;
  }
  if (hook) hook(operation, request);
  return result;
}

int fakeCp(const DownloadRequest& request) {
  return runFake("cp", FakePlatform::cpResults, request);
}
int fakeAp(const DownloadRequest& request) {
  return runFake("ap", FakePlatform::apResults, request);
}
int fakeTp(const DownloadRequest& request) {
  return runFake("tp", FakePlatform::tpResults, request);
}
int fakeLoad(host::FileTable&) {
  return 0;
}
int fakeAutoLoad(host::FileTable&, const char*) {
  return 0;
}
int fakeCompleted() {
  return 0;
}

PlatformOps gRow{0, fakeAutoLoad, fakeLoad, fakeLoad, fakeCp, fakeAp, fakeTp, fakeCompleted};

void recordAt(const std::string& text) {
  std::lock_guard lock(FakeAt::mutex);
  FakeAt::recorded.push_back(text);
}

int fakeSetAtCmd(const DownloadRequest&, const char* command, std::string*) {
  recordAt(command);
  return FakeAt::setAtCmdResult;
}
int fakeBackupEfs2(const DownloadRequest&, PlatformType type) {
  recordAt("backupEfs2 " + std::to_string(type));
  std::lock_guard lock(FakeAt::mutex);
  return nextResult(FakeAt::backupResults, 1);
}
int fakeCheckEfs2(const DownloadRequest&) {
  recordAt("checkEfs2");
  std::lock_guard lock(FakeAt::mutex);
  return nextResult(FakeAt::checkResults, 1);
}
int fakeCheckIf9011(const DownloadRequest&, int& is9011) {
  recordAt("checkIf9011");
  is9011 = FakeAt::is9011;
  return FakeAt::checkIf9011Result;
}

const AtServices kFakeAt{fakeSetAtCmd, fakeBackupEfs2, fakeCheckEfs2, fakeCheckIf9011};

}  // namespace

void FakePlatform::reset() {
  std::lock_guard lock(mutex);
  recorded.clear();
  cpResults.clear();
  apResults.clear();
  tpResults.clear();
  hook = nullptr;
}

std::vector<OperationCall> FakePlatform::calls() {
  std::lock_guard lock(mutex);
  return recorded;
}

std::vector<std::string> FakePlatform::operations() {
  std::vector<std::string> names;
  for (const OperationCall& call : calls()) names.push_back(call.operation);
  return names;
}

const PlatformOps* fakePlatformRows(PlatformType) {
  return &gRow;
}

void FakeAt::reset() {
  std::lock_guard lock(mutex);
  recorded.clear();
  setAtCmdResult = 1;
  backupResults.clear();
  checkResults.clear();
  checkIf9011Result = 1;
  is9011 = 0;
}

std::vector<std::string> FakeAt::commands() {
  std::lock_guard lock(mutex);
  return recorded;
}

// ---- RecordingSurface ----

void RecordingSurface::record(std::string event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

void RecordingSurface::setDutMessage(int, const std::string& text) {
  record("message " + text);
  if (onMessage) onMessage(text);
}
void RecordingSurface::setDutProgress(int, double percent, const std::string&) {
  record("progress " + std::to_string(static_cast<int>(percent)));
}
void RecordingSurface::setDutStatus(int, int status, host::Rgb, bool, host::Rgb) {
  record("status " + std::to_string(status));
}
void RecordingSurface::messageBox(const std::string& title, const std::string& text) {
  record("box " + title + "|" + text);
}
void RecordingSurface::setDutTime(int, const std::string& text) {
  record("time " + text);
}
void RecordingSurface::setDutPorts(int, const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : ",") + item;
  record("ports " + joined);
}

std::optional<std::string> RecordingSurface::chooseFile(const host::FileChooserRequest& request) {
  record("chooser " + request.title + "|" + request.pattern + "|" + request.directory);
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return std::nullopt;
  std::optional<std::string> answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> RecordingSurface::events() {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> RecordingSurface::messages() {
  std::vector<std::string> texts;
  for (const std::string& event : events()) {
    if (event.rfind("message ", 0) == 0) texts.push_back(event.substr(8));
  }
  return texts;
}

std::vector<int> RecordingSurface::statuses() {
  std::vector<int> values;
  for (const std::string& event : events()) {
    if (event.rfind("status ", 0) == 0) values.push_back(std::stoi(event.substr(7)));
  }
  return values;
}

bool RecordingSurface::hasMessage(const std::string& text) {
  for (const std::string& message : messages()) {
    if (message == text) return true;
  }
  return false;
}

void RecordingSurface::clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

void RecordingSurface::answerChooser(std::optional<std::string> answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(answer));
}

// ---- SlotsTest ----

void SlotsTest::SetUp() {
  ASSERT_TRUE(kScaledWaits);
  folder_.emplace("zendral-slots");
  dir_ = folder_->path();

  FakePlatform::reset();
  FakeAt::reset();
  previousRows_ = installPlatformRows(fakePlatformRows);
  installAtServices(&kFakeAt);
  host::installSurface(&surface_);
  host::installDeviceDirectory(&directory_);
  resetSlotRecords();
  resetStationOptions();
  resetPlatformSettings();
  resetDutTimers();
  host::clearStop();
  gThreadPool = new host::WorkerPool(host::uiLoop());
  usePlatform(kQca9x07);
  listening = 1;
  registerDeviceNotifications();
}

void SlotsTest::TearDown() {
  unregisterDeviceNotifications();
  listening = 0;
  host::requestStop();
  gThreadPool->shutdown();
  delete gThreadPool;
  gThreadPool = nullptr;
  host::clearStop();
  platform_dispose();
  installPlatformRows(previousRows_);
  installAtServices(nullptr);
  host::installDeviceDirectory(nullptr);
  host::installSurface(nullptr);
  resetDutTimers();
  folder_.reset();
}

void SlotsTest::usePlatform(PlatformType type) {
  platform_dispose();
  ASSERT_NE(platfrom_create_instance(type), nullptr);
}

int SlotsTest::arrive(const std::string& friendlyName, const std::string& ttyPath) {
  directory_.addSerialPort(friendlyName, ttyPath.empty() ? "/dev/x-" + friendlyName : ttyPath, 0,
                           false);
  const int result = ScanComPorts();
  settle();
  return result;
}

void SlotsTest::plug(const std::string& friendlyName, const std::string& ttyPath) {
  directory_.addSerialPort(friendlyName, ttyPath.empty() ? "/dev/x-" + friendlyName : ttyPath);
  settle();
}

void SlotsTest::unplug(const std::string& ttyPath) {
  directory_.removeSerialPort(ttyPath);
  settle();
}

void SlotsTest::settle() {
  while (true) {
    const int id = static_cast<int>(loadField(gThreadData[0].threadId));
    if (id == 0) return;
    gThreadPool->waitUntilFinished(id);
    if (static_cast<int>(loadField(gThreadData[0].threadId)) == id) return;
  }
}

std::string diagName(int com) {
  return "Qualcomm HS-USB Diagnostics 9091 (COM" + std::to_string(com) + ")";
}
std::string atName(int com) {
  return "Qualcomm HS-USB AT Port 9091 (COM" + std::to_string(com) + ")";
}
std::string tty(int com) {
  return "/dev/x-COM" + std::to_string(com);
}

}  // namespace slotstest
