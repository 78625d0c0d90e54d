// The simulated diagnostic library, loaded as the station loads it, against bench modules:
// the Qca9x07 road (QCN backup, switch, Sahara, streaming download with its callbacks, NV
// restore) and the faults that break it.

#include <cstring>
#include <mutex>
#include <thread>

#include "host/dynamic_library.h"
#include "platform/qlib_api.h"
#include "sim/bench/firmware_maker.h"
#include "sim/bench/sha256.h"
#include "tests/integration/bench/bench_fixture.h"

namespace {

// What the library's callbacks delivered, from whichever thread.
struct Heard {
  std::mutex mutex;
  std::vector<std::pair<unsigned short, std::string>> textLog;
  std::vector<std::string> sahara;
  std::vector<unsigned> eventTypes;
  std::vector<std::string> async;
  std::vector<std::thread::id> threads;
};
Heard gHeard;

void onTextLog(void*, const void* message, HANDLE) {
  // The record as the station reads it: a 16-bit type, the text at byte 8.
  std::lock_guard lock(gHeard.mutex);
  unsigned short type;
  std::memcpy(&type, message, sizeof type);
  gHeard.textLog.emplace_back(type, static_cast<const char*>(message) + 8);
  gHeard.threads.push_back(std::this_thread::get_id());
}
void onSahara(HANDLE, const char* text) {
  std::lock_guard lock(gHeard.mutex);
  gHeard.sahara.push_back(text);
}
unsigned char onEvent(const void* event) {
  std::lock_guard lock(gHeard.mutex);
  gHeard.eventTypes.push_back(*static_cast<const unsigned*>(event));
  return 1;
}
void onAsync(void*, const void* message, HANDLE) {
  const auto* bytes = static_cast<const unsigned char*>(message);
  std::lock_guard lock(gHeard.mutex);
  if (bytes[0] == 0x10 && bytes[6] == 0xFF && bytes[7] == 0xFF) {
    gHeard.async.push_back(reinterpret_cast<const char*>(bytes + 24));
  }
}

class Library : public BenchFixture {
 protected:
  void SetUp() override {
    BenchFixture::SetUp();
    {
      std::lock_guard lock(gHeard.mutex);
      gHeard.textLog.clear();
      gHeard.sahara.clear();
      gHeard.eventTypes.clear();
      gHeard.async.clear();
      gHeard.threads.clear();
    }
    ASSERT_TRUE(library_.open(binPath("QMSL_MSVC10R.dll"))) << library_.errorText();
    firmware_ = (folder_ / "fw").string();
    sim::FirmwareOptions options;
    options.platform = "Qca9x07";
    options.folder = firmware_;
    options.sizeScale = 0.002;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(sim::makeFirmware(options, written, error)) << error;
  }

  template <typename F>
  F fn(const char* name) {
    void* symbol = library_.symbol(name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F>(symbol);
  }
  std::string path(const std::string& name) { return firmware_ + "/" + name; }

  // Switches the module on COM11 to download mode and uploads the programmer; returns the
  // Sahara-free download port's handle, ready for the streaming download.
  HANDLE reachStreamingPort() {
    HANDLE h = fn<QLIB_ConnectServer_t>("QLIB_ConnectServer")(11);
    EXPECT_NE(h, nullptr);
    unsigned char result = 0;
    EXPECT_EQ(fn<QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation_t>(
                  "QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation")(h, 3000, 0, &result),
              1);
    fn<QLIB_DisconnectServer_t>("QLIB_DisconnectServer")(h);
    unsigned version = 0, serial = 0, msm = 0;
    char info[200];
    HANDLE s = nullptr;
    for (int attempt = 0; attempt < 20 && !(s && version); ++attempt) {
      s = fn<QLIB_QPHONEMS_ConnectServer_Sahara_t>("QLIB_QPHONEMS_ConnectServer_Sahara")(
          13, &version, &serial, &msm, info, 1, 2, 5000, onSahara);
    }
    EXPECT_NE(s, nullptr);
    EXPECT_EQ(version, 2u);
    EXPECT_EQ(fn<QLIB_QPHONEMS_Sahara_FlashProgrammer_t>("QLIB_QPHONEMS_Sahara_FlashProgrammer")(
                  s, path("NPRG9x07.mbn").c_str()),
              1);
    fn<QLIB_DisconnectServer_Sahara_t>("QLIB_DisconnectServer_Sahara")(s);
    HANDLE d = fn<QLIB_ConnectServer_t>("QLIB_ConnectServer")(13);
    EXPECT_NE(d, nullptr);
    fn<QLIB_ConfigureLibraryTextLogCallBack_t>("QLIB_ConfigureLibraryTextLogCallBack")(d,
                                                                                       onTextLog);
    return d;
  }

  QLIB_UserPartitionList partitionList() {
    QLIB_UserPartitionList list{};
    const char* entries[][2] = {{"0:SBL", "sbl1.mbn"},
                                {"0:TZ", "tz.mbn"},
                                {"0:RPM", "rpm.mbn"},
                                {"0:aboot", "appsboot.mbn"}};
    for (const auto& entry : entries) {
      std::strcpy(list.entries[list.count].name, entry[0]);
      std::strcpy(list.entries[list.count].path, path(entry[1]).c_str());
      ++list.count;
    }
    return list;
  }

  unsigned char download(HANDLE h, const QLIB_UserPartitionList& list, unsigned* status) {
    return fn<QLIB_QPHONEMS_DownloadUserPartitions_t>("QLIB_QPHONEMS_DownloadUserPartitions")(
        h, "", path("partition.mbn").c_str(), &list, 1, 1, 1, 5000, 5000, status);
  }

  size_t sendAsyncCount() {
    std::lock_guard lock(gHeard.mutex);
    size_t count = 0;
    for (const auto& [type, text] : gHeard.textLog) {
      count += type == QLIB_TEXT_LOG_TYPE_TRANSFER && text.rfind("SEND_ASYNC(", 0) == 0;
    }
    return count;
  }

  host::DynamicLibrary library_;
  std::string firmware_;
};

TEST_F(Library, EveryBuildExportsAllFunctionsAndTheVariantLacksOne) {
  for (const char* name : {"QMSL_MSVC10R.dll", "QMSL_MSVC10R.360.dll", "QMSL_MSVC10R.238.dll",
                           "QMSL_MSVC10R.247.dll"}) {
    host::DynamicLibrary build;
    ASSERT_TRUE(build.open(binPath(name))) << build.errorText();
    for (const char* function : kQlibFunctionNames)
      EXPECT_NE(build.symbol(function), nullptr) << name << " " << function;
    EXPECT_EQ(build.symbol("simqlib::openConnection"), nullptr);
  }
  host::DynamicLibrary variant;
  ASSERT_TRUE(variant.open(binPath("qlib-without-QLIB_QPHONEMS_FireHoseErase/QMSL_MSVC10R.dll")));
  for (const char* function : kQlibFunctionNames) {
    EXPECT_EQ(variant.symbol(function) == nullptr,
              std::strcmp(function, "QLIB_QPHONEMS_FireHoseErase") == 0)
        << function;
  }
}

TEST_F(Library, Qca9x07RoadWritesPartitionsWithCallbacksAndRestoresTheNvItems) {
  plug("Qca9x07");
  const std::string imei = moduleState("1")["imei"];
  const std::string calibrated = moduleState("1")["nvSha256"];
  EXPECT_EQ(fn<QLIB_ConnectServer_t>("QLIB_ConnectServer")(99), nullptr) << "no such port";

  // A fresh diagnostic connection and its reports.
  HANDLE h = fn<QLIB_ConnectServer_t>("QLIB_ConnectServer")(11);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(fn<QLIB_IsPhoneConnected_t>("QLIB_IsPhoneConnected")(h), 1);
  unsigned status = 0;
  EXPECT_EQ(fn<QLIB_GetQpstPhoneStatus_t>("QLIB_GetQpstPhoneStatus")(h, &status), 1);
  EXPECT_EQ(status, 3u);
  char date[12], time[9], rdate[12], rtime[9], dir[9];
  unsigned char scm, cai, model, sci, vmaj, vmin;
  unsigned short firmware;
  EXPECT_EQ(
      fn<QLIB_DIAG_VERNO_F_t>("QLIB_DIAG_VERNO_F")(h, date, time, rdate, rtime, dir, &scm, &cai,
                                                   &model, &firmware, &sci, &vmaj, &vmin),
      1);
  EXPECT_EQ(std::strlen(date), 11u);
  unsigned char ftm = 9;
  unsigned short nvStatus = 9;
  EXPECT_EQ(fn<QLIB_DIAG_NV_READ_F_t>("QLIB_DIAG_NV_READ_F")(h, 453, &ftm, 1, &nvStatus), 1);
  EXPECT_EQ(ftm, 0);
  EXPECT_EQ(nvStatus, 0);
  unsigned char accepted = 0;
  EXPECT_EQ(fn<QLIB_DIAG_SPC_F_t>("QLIB_DIAG_SPC_F")(
                h, reinterpret_cast<const unsigned char*>("271828"), &accepted),
            1);
  EXPECT_EQ(accepted, 1);

  // Backup in QPST mode: download events, a file named by the caller.
  const std::string backup = (folder_ / (imei + ".xqcn")).string();
  fn<QLIB_SetLibraryMode_t>("QLIB_SetLibraryMode")(QLIB_LIB_MODE_QPST);
  fn<QLIB_ConfigureCallBacks_t>("QLIB_ConfigureCallBacks")(h, nullptr, onEvent, onAsync);
  ASSERT_EQ(fn<QLIB_DownloadQcnFile_V2_t>("QLIB_DownloadQcnFile_V2")(h, backup.c_str(), "271828"),
            1);
  EXPECT_GT(std::filesystem::file_size(backup), 100000u);
  {
    std::lock_guard lock(gHeard.mutex);
    EXPECT_EQ(gHeard.eventTypes.front(), QLIB_DOWNLOAD_EVENT_START);
    EXPECT_EQ(gHeard.eventTypes.back(), QLIB_DOWNLOAD_EVENT_END);
  }
  fn<QLIB_DisconnectServer_t>("QLIB_DisconnectServer")(h);
  fn<QLIB_SetLibraryMode_t>("QLIB_SetLibraryMode")(QLIB_LIB_MODE_QPHONEMS);

  // Switch, Sahara, streaming download.
  HANDLE d = reachStreamingPort();
  const QLIB_UserPartitionList list = partitionList();
  unsigned downloadStatus = 9;
  ASSERT_EQ(download(d, list, &downloadStatus), 1);
  EXPECT_EQ(downloadStatus, 0u);
  fn<QLIB_DisconnectServer_t>("QLIB_DisconnectServer")(d);
  {
    std::lock_guard lock(gHeard.mutex);
    auto heard = [&](unsigned short type, const std::string& text) {
      for (const auto& [t, s] : gHeard.textLog) {
        if (t == type && s == text) return true;
      }
      return false;
    };
    EXPECT_TRUE(heard(8, "Sending HELLO to flash programmer"));
    EXPECT_TRUE(heard(8, "Downloading " + path("sbl1.mbn")));
    EXPECT_TRUE(heard(8, "Downloading " + path("appsboot.mbn")));
    EXPECT_FALSE(gHeard.sahara.empty());
    for (std::thread::id thread : gHeard.threads) EXPECT_NE(thread, std::this_thread::get_id());
  }
  size_t pieces = 0;
  for (const char* name : {"sbl1.mbn", "tz.mbn", "rpm.mbn", "appsboot.mbn"}) {
    pieces += (std::filesystem::file_size(path(name)) + 4095) / 4096;
  }
  EXPECT_EQ(sendAsyncCount(), pieces);
  for (const auto& [partition, file] :
       {std::pair{"sbl", "sbl1.mbn"}, std::pair{"aboot", "appsboot.mbn"}}) {
    std::string sha;
    uint64_t size = 0;
    ASSERT_TRUE(sim::sha256OfFile(path(file), sha, size));
    EXPECT_EQ(this->partition("1", partition).value("sha256", ""), sha) << partition;
  }
  EXPECT_EQ(moduleState("1")["programmer"]["name"], "NPRG9x07.mbn");

  // The module restarts into fastboot; bring it back and restore its items in QPHONEMS mode.
  ASSERT_TRUE(waitForMode("1", "fastboot"));
  EXPECT_NE(moduleState("1")["nvSha256"], calibrated) << "the new partition table emptied EFS";
  request({{"cmd", "replug"}, {"id", "1"}});
  ASSERT_TRUE(waitForMode("1", "normal"));
  HANDLE r = fn<QLIB_ConnectServerWithHandShake_t>("QLIB_ConnectServerWithHandShake")(11);
  ASSERT_NE(r, nullptr);
  fn<QLIB_ConfigureCallBacks_t>("QLIB_ConfigureCallBacks")(r, nullptr, nullptr, onAsync);
  int count = 0, code = -1;
  ASSERT_EQ(
      fn<QLIB_NV_LoadNVsFromQCN_t>("QLIB_NV_LoadNVsFromQCN")(r, backup.c_str(), &count, &code), 1);
  EXPECT_GT(count, 2000);
  EXPECT_EQ(fn<QLIB_NV_WriteNVsToMobile_t>("QLIB_NV_WriteNVsToMobile")(r, &code), 0)
      << "without the SPC and FTM mode the module refuses the items";
  // FTM mode: set, then a reset. The handle answers again once it is back and asked for.
  const unsigned char on = 1;
  unsigned short written = 9;
  ASSERT_EQ(fn<QLIB_DIAG_NV_WRITE_F_t>("QLIB_DIAG_NV_WRITE_F")(r, 453, &on, 1, &written), 1);
  ASSERT_EQ(fn<QLIB_DIAG_CONTROL_F_t>("QLIB_DIAG_CONTROL_F")(r, QLIB_PHONE_MODE_RESET), 1);
  ASSERT_TRUE(
      waitFor([&] { return fn<QLIB_IsPhoneConnected_t>("QLIB_IsPhoneConnected")(r) == 0; }));
  unsigned char flushed = fn<QLIB_FlushRxBuffer_t>("QLIB_FlushRxBuffer")(r);
  EXPECT_EQ(flushed, 0) << "no call on a handle succeeds while its port is away";
  ASSERT_TRUE(
      waitFor([&] { return fn<QLIB_IsPhoneConnected_t>("QLIB_IsPhoneConnected")(r) == 1; }));
  ASSERT_EQ(fn<QLIB_DIAG_SPC_F_t>("QLIB_DIAG_SPC_F")(
                r, reinterpret_cast<const unsigned char*>("271828"), &accepted),
            1);
  ASSERT_EQ(fn<QLIB_NV_WriteNVsToMobile_t>("QLIB_NV_WriteNVsToMobile")(r, &code), 1);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(moduleState("1")["nvSha256"], calibrated);
  fn<QLIB_DisconnectAllServers_t>("QLIB_DisconnectAllServers")();
  EXPECT_EQ(fn<QLIB_IsPhoneConnected_t>("QLIB_IsPhoneConnected")(r), 0);
}

TEST_F(Library, RefusedSwitchAndCutBackupFail) {
  plug("Qca9x07", {"switch-refused", "qcn-size:2048"});
  HANDLE h = fn<QLIB_ConnectServer_t>("QLIB_ConnectServer")(11);
  ASSERT_NE(h, nullptr);
  unsigned char result = 1;
  EXPECT_EQ(fn<QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation_t>(
                "QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation")(h, 3000, 0, &result),
            0);
  EXPECT_EQ(result, 0);
  unsigned char present = 0;
  char text[128];
  fn<QLIB_GetLastSoftwareDownloadErrorInfo_t>("QLIB_GetLastSoftwareDownloadErrorInfo")(
      h, &present, text, sizeof text);
  EXPECT_EQ(present, 1);
  EXPECT_EQ(moduleState("1")["mode"], "normal");

  const std::string backup = (folder_ / "cut.qcn").string();
  int code = -1, count = 0;
  ASSERT_EQ(
      fn<QLIB_BackupNVFromMobileToQCN_t>("QLIB_BackupNVFromMobileToQCN")(h, backup.c_str(), &code),
      1);
  EXPECT_EQ(std::filesystem::file_size(backup), 2048u);
  EXPECT_EQ(
      fn<QLIB_NV_LoadNVsFromQCN_t>("QLIB_NV_LoadNVsFromQCN")(h, backup.c_str(), &count, &code), 0);
  EXPECT_EQ(fn<QLIB_NV_WriteNVsToMobile_t>("QLIB_NV_WriteNVsToMobile")(h, &code), 0);
}

TEST_F(Library, UnplugDuringTheStreamingDownloadFailsIt) {
  plug("Qca9x07", {"unplug:cp:50"});
  HANDLE d = reachStreamingPort();
  unsigned status = 0;
  EXPECT_EQ(download(d, partitionList(), &status), 0);
  EXPECT_NE(status, 0u);
  unsigned char present = 0;
  char text[128] = {};
  fn<QLIB_GetLastSoftwareDownloadErrorInfo_t>("QLIB_GetLastSoftwareDownloadErrorInfo")(
      d, &present, text, sizeof text);
  EXPECT_EQ(present, 1);
  EXPECT_STRNE(text, "");
  EXPECT_EQ(moduleState("1")["mode"], "unplugged");
  size_t pieces = 0;
  for (const char* name : {"sbl1.mbn", "tz.mbn", "rpm.mbn", "appsboot.mbn"}) {
    pieces += (std::filesystem::file_size(path(name)) + 4095) / 4096;
  }
  EXPECT_LT(sendAsyncCount(), pieces);
  EXPECT_TRUE(partition("1", "aboot").is_null()) << "the last image was never written";
}

TEST_F(Library, MalformedPartitionListsAreRefused) {
  plug("Qca9x07");
  HANDLE d = reachStreamingPort();
  unsigned status = 0;
  QLIB_UserPartitionList list = partitionList();
  list.count = 11;
  EXPECT_EQ(download(d, list, &status), 0);
  list = partitionList();
  std::memset(list.entries[1].name, 'x', sizeof list.entries[1].name);
  EXPECT_EQ(download(d, list, &status), 0);
  EXPECT_EQ(fn<QLIB_QPHONEMS_DownloadUserPartitions_t>("QLIB_QPHONEMS_DownloadUserPartitions")(
                d, "", "", nullptr, 0, 1, 1, 5000, 5000, &status),
            0);
  list = partitionList();
  std::strcpy(list.entries[2].path, "/no/such/rpm.mbn");
  EXPECT_EQ(download(d, list, &status), 0);
}

}  // namespace
