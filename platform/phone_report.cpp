#include "platform/phone_report.h"

#include <algorithm>
#include <iterator>

#include "host/clock.h"
#include "host/report.h"
#include "platform/qca_library.h"
#include "platform/text_format.h"

namespace {

// The command code of the factory-test command set: only then are mode and call state asked.
constexpr unsigned short kFtmCommandCode = 75;
// The "phone is waiting" mode requested while waiting for the phone.
constexpr int kWaitingPhoneMode = 4;

const char* const kCallStateNames[] = {"CM_CALL_STATE_IDLE", "CM_CALL_STATE_ORIG",
                                       "CM_CALL_STATE_INCOM", "CM_CALL_STATE_CONV",
                                       "CM_CALL_STATE_CC_IN_PROGRESS"};
const char* const kSystemModeNames[] = {
    "SYS_SYS_MODE_NO_SRV", "SYS_SYS_MODE_AMPS",  "SYS_SYS_MODE_CDMA", "SYS_SYS_MODE_GSM",
    "SYS_SYS_MODE_HDR",    "SYS_SYS_MODE_WCDMA", "SYS_SYS_MODE_GPS"};
const char* const kPhoneStatusNames[] = {"SWD_modeNone",
                                         "SWD_modeDataServices",
                                         "SWD_modeDownload",
                                         "SWD_modeDiagnostic",
                                         "SWD_modeDiagnosticOffline",
                                         "SWD_modeReset",
                                         "SWD_modeStreamDownload",
                                         "SWD_modeMspDownload",
                                         "SWD_modeMspDiagnostic",
                                         "SWD_modeMspDiagnosticOffline",
                                         "SWD_modeMspReset",
                                         "SWD_modeMspStreamDownload"};

// Values beyond the tables (negative ones included, read as unsigned) take the last name.
const char* callStateName(int value) {
  const auto index = static_cast<unsigned>(value);
  return index < std::size(kCallStateNames) ? kCallStateNames[index] : "Invalid";
}

const char* systemModeName(int value) {
  const auto index = static_cast<unsigned>(value);
  return kSystemModeNames[std::min<size_t>(index, std::size(kSystemModeNames) - 1)];
}

const char* operatingModeName(unsigned mode) {
  switch (mode) {
    case 1:
      return "FTM";
    case 2:
    case 3:
    case 4:
      return "OFFLINE";
    case 5:
      return "ONLINE";
    case 6:
      return "LOW POWER MODE";
    default:
      return "Not in list";
  }
}

HANDLE slotHandle(int dut) {
  return dut >= 1 && dut <= kHandleMapSize ? handeIndexMap[dut - 1].load() : nullptr;
}

// A phone that does not answer yet gets five rounds to do so. Returns whether it answers; a
// phone that only answers the phone-server status is in download mode and reported so.
bool waitForPhone(const DownloadRequest& request, HANDLE handle) {
  fn_QLIB_FlushRxBuffer(handle);
  bool connected = false;
  bool statusOk = false;
  for (int round = 0; round < 5; ++round) {
    connected = fn_QLIB_IsPhoneConnected(handle) != 0;
    unsigned int status = 0;
    statusOk = fn_QLIB_GetQpstPhoneStatus(handle, &status) == 1 && status != 0;
    host::Delay(1.0);
    fn_QLIB_DIAG_CONTROL_F(handle, kWaitingPhoneMode);
    if (connected || statusOk) break;
  }
  if (!connected && statusOk) {
    updateMesage(request.slot, "Phone is in download mode.");
    ReportPhoneState(request);
  }
  return connected;
}

bool reportVersion(int dut, HANDLE handle) {
  char compileDate[12] = {}, compileTime[9] = {}, releaseDate[12] = {}, releaseTime[9] = {},
       versionDir[9] = {};
  unsigned char stationClassMark = 0, caiRevision = 0, mobileModel = 0, slotCycleIndex = 0,
                vocoderMajor = 0, vocoderMinor = 0;
  unsigned short firmwareRevision = 0;
  if (!fn_QLIB_DIAG_VERNO_F(handle, compileDate, compileTime, releaseDate, releaseTime, versionDir,
                            &stationClassMark, &caiRevision, &mobileModel, &firmwareRevision,
                            &slotCycleIndex, &vocoderMajor, &vocoderMinor)) {
    updateMesage(dut, "Version Number: FAIL");
    return false;
  }
  compileDate[11] = compileTime[8] = releaseDate[11] = releaseTime[8] = versionDir[8] = '\0';
  updateMesage(dut, "Mobile Version report: PASS");
  updateMesage(dut, formatText("Compile Date: %s", compileDate));
  updateMesage(dut, formatText("Compile Time: %s", compileTime));
  updateMesage(dut, formatText("Release Date: %s", releaseDate));
  updateMesage(dut, formatText("Release Time: %s", releaseTime));
  updateMesage(dut, formatText("Version Dir: %s", versionDir));
  updateMesage(dut, formatText("Station Class Mark: %d", stationClassMark));
  updateMesage(dut, formatText("CAI Rev: %d", caiRevision));
  updateMesage(dut, formatText("Mobile Model: %d", mobileModel));
  updateMesage(dut, formatText("Firmware Rev: %d", firmwareRevision));
  updateMesage(dut, formatText("Slot Cycle Index: %d", slotCycleIndex));
  updateMesage(dut, formatText("Vocoder major version: %d", vocoderMajor));
  updateMesage(dut, formatText("Vocoder minor version: %d", vocoderMinor));
  return true;
}

bool reportBuild(int dut, HANDLE handle) {
  unsigned int msmHwVersion = 0, mobileModel = 0;
  char softwareRevision[512] = {}, modelId[512] = {};
  if (!fn_QLIB_DIAG_EXT_BUILD_ID_F(handle, &msmHwVersion, &mobileModel, softwareRevision,
                                   modelId)) {
    updateMesage(dut, "QLIB_DIAG_EXT_BUILD_ID_F = FAIL");
    return false;
  }
  softwareRevision[sizeof softwareRevision - 1] = modelId[sizeof modelId - 1] = '\0';
  updateMesage(dut, formatText("Ext MSM HW Version: 0x%X", msmHwVersion));
  updateMesage(dut, formatText("Ext Mobile Model#: 0x%X", mobileModel));
  updateMesage(dut, formatText("Ext Mobile Mobile SW Rev: %s", softwareRevision));
  updateMesage(dut, formatText("Ext Model ID: %s", modelId));
  return true;
}

}  // namespace

void PrintQLibVersion(const DownloadRequest& request) {
  const int dut = request.slot;
  HANDLE handle = slotHandle(dut);
  if (!handle) return;
  if (!fn_QLIB_IsPhoneConnected(handle) && !waitForPhone(request, handle)) return;
  if (!fn_QLIB_IsPhoneConnected(handle)) {
    updateMesage(dut, "Phone is not connected.");
    return;
  }
  if (!reportVersion(dut, handle)) return;
  if (!reportBuild(dut, handle)) return;
  ReportPhoneState(request);
}

bool ReportPhoneState(const DownloadRequest& request) {
  const int dut = request.slot;
  HANDLE handle = slotHandle(dut);
  if (!handle) return false;
  unsigned short commandCode = 0;
  if (fn_QLIB_FTM_GET_COMMAND_CODE(handle, &commandCode) && commandCode == kFtmCommandCode) {
    unsigned int mode = 0;
    if (fn_QLIB_GetPhoneOperatingMode(handle, &mode)) {
      updateMesage(dut, formatText("Phone Operating Mode: %s", operatingModeName(mode)));
    }
    int callState = 0, systemMode = 0;
    if (fn_QLIB_GetPhoneCallState(handle, &callState, &systemMode)) {
      updateMesage(dut, formatText("Phone Call State: %s", callStateName(callState)));
      updateMesage(dut, formatText("Phone System Mode State: %s", systemModeName(systemMode)));
    }
  }
  unsigned char ftmMode = 0;
  unsigned short nvStatus = 0;
  if (fn_QLIB_DIAG_NV_READ_F(handle, QLIB_NV_FTM_MODE_ITEM, &ftmMode, 1, &nvStatus)) {
    updateMesage(dut, formatText("FTM Mode: %s", ftmMode ? "ON" : "OFF"));
  } else {
    updateMesage(dut, "QLIB_DIAG_NV_READ_F(NV_FTM_MODE_I): FAIL");
  }
  unsigned int phoneStatus = 0;
  const bool statusRead = fn_QLIB_GetQpstPhoneStatus(handle, &phoneStatus) != 0;
  if (statusRead && phoneStatus < std::size(kPhoneStatusNames)) {
    updateMesage(dut, formatText("QPST Phone Status: %s", kPhoneStatusNames[phoneStatus]));
  }
  return statusRead;
}
