#include "platform/qca_library.h"

#include <cstdio>
#include <string>
#include <type_traits>

#include "host/clock.h"
#include "host/dynamic_library.h"
#include "host/process_killer.h"
#include "host/report.h"
#include "platform/platform.h"
#include "platform/slot_record.h"

QLIB_SetLibraryMode_t fn_QLIB_SetLibraryMode = nullptr;
QLIB_ConnectServer_t fn_QLIB_ConnectServer = nullptr;
QLIB_ConnectServerWithWait_t fn_QLIB_ConnectServerWithWait = nullptr;
QLIB_DisconnectServer_t fn_QLIB_DisconnectServer = nullptr;
QLIB_GetAvailablePhonesPortList_t fn_QLIB_GetAvailablePhonesPortList = nullptr;
QLIB_ConfigureLibraryTextLogCallBack_t fn_QLIB_ConfigureLibraryTextLogCallBack = nullptr;
QLIB_IsPhoneConnected_t fn_QLIB_IsPhoneConnected = nullptr;
QLIB_SetTargetType_t fn_QLIB_SetTargetType = nullptr;
QLIB_ConfigureCallBacks_t fn_QLIB_ConfigureCallBacks = nullptr;
QLIB_ExtendedTextMessage_SetCategoryEnable_t fn_QLIB_ExtendedTextMessage_SetCategoryEnable =
    nullptr;
QLIB_SetLogFlags_t fn_QLIB_SetLogFlags = nullptr;
QLIB_QPHONEMS_DownloadUserPartitions_t fn_QLIB_QPHONEMS_DownloadUserPartitions = nullptr;
QLIB_GetLastSoftwareDownloadErrorInfo_t fn_QLIB_GetLastSoftwareDownloadErrorInfo = nullptr;
QLIB_QPHONEMS_DLoad_SendNop_t fn_QLIB_QPHONEMS_DLoad_SendNop = nullptr;
QLIB_QPHONEMS_DLoad_Reset_t fn_QLIB_QPHONEMS_DLoad_Reset = nullptr;
QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation_t
    fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation = nullptr;
QLIB_QPHONEMS_SwitchToDownloadMode_t fn_QLIB_QPHONEMS_SwitchToDownloadMode = nullptr;
QLIB_QPHONEMS_SwitchToEDL_t fn_QLIB_QPHONEMS_SwitchToEDL = nullptr;
QLIB_QPHONEMS_ConnectServer_Sahara_t fn_QLIB_QPHONEMS_ConnectServer_Sahara = nullptr;
QLIB_QPHONEMS_Sahara_SetImageTransferMode_t fn_QLIB_QPHONEMS_Sahara_SetImageTransferMode = nullptr;
QLIB_QPHONEMS_Sahara_FlashProgrammer_t fn_QLIB_QPHONEMS_Sahara_FlashProgrammer = nullptr;
QLIB_DisconnectServer_Sahara_t fn_QLIB_DisconnectServer_Sahara = nullptr;
QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack_t
    fn_QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack = nullptr;
QLIB_StartLogging_t fn_QLIB_StartLogging = nullptr;
QLIB_StopLogging_t fn_QLIB_StopLogging = nullptr;
QLIB_DownloadQcnFile_V2_t fn_QLIB_DownloadQcnFile_V2 = nullptr;
QLIB_UploadQcnFile_V2_t fn_QLIB_UploadQcnFile_V2 = nullptr;
QLIB_DownloadQcnFile_t fn_QLIB_DownloadQcnFile = nullptr;
QLIB_UploadQcnFile_t fn_QLIB_UploadQcnFile = nullptr;
QLIB_DIAG_SPC_F_t fn_QLIB_DIAG_SPC_F = nullptr;
QLIB_NV_LoadNVsFromQCN_t fn_QLIB_NV_LoadNVsFromQCN = nullptr;
QLIB_BackupNVFromMobileToQCN_t fn_QLIB_BackupNVFromMobileToQCN = nullptr;
QLIB_NV_WriteNVsToMobile_t fn_QLIB_NV_WriteNVsToMobile = nullptr;
QLIB_DIAG_NV_WRITE_F_t fn_QLIB_DIAG_NV_WRITE_F = nullptr;
QLIB_DIAG_NV_READ_F_t fn_QLIB_DIAG_NV_READ_F = nullptr;
QLIB_DisconnectAllServers_t fn_QLIB_DisconnectAllServers = nullptr;
QLIB_QPHONEMS_SaharaConfigureCallback_t fn_QLIB_QPHONEMS_SaharaConfigureCallback = nullptr;
QLIB_QPHONEMS_ConnectServer_FireHose_t fn_QLIB_QPHONEMS_ConnectServer_FireHose = nullptr;
QLIB_QPHONEMS_FireHoseConfigureCallback_t fn_QLIB_QPHONEMS_FireHoseConfigureCallback = nullptr;
QLIB_QPHONEMS_FireHoseNOP_t fn_QLIB_QPHONEMS_FireHoseNOP = nullptr;
QLIB_QPHONEMS_FireHoseConfigure_t fn_QLIB_QPHONEMS_FireHoseConfigure = nullptr;
QLIB_QPHONEMS_UploadEmmcImage_FireHose_t fn_QLIB_QPHONEMS_UploadEmmcImage_FireHose = nullptr;
QLIB_DisconnectServer_FireHose_t fn_QLIB_DisconnectServer_FireHose = nullptr;
QLIB_QPHONEMS_FireHoseErase_t fn_QLIB_QPHONEMS_FireHoseErase = nullptr;
QLIB_GetLibraryCapabilities_t fn_QLIB_GetLibraryCapabilities = nullptr;
QLIB_FlushRxBuffer_t fn_QLIB_FlushRxBuffer = nullptr;
QLIB_GetLibraryVersion_t fn_QLIB_GetLibraryVersion = nullptr;
QLIB_GetQpstPhoneStatus_t fn_QLIB_GetQpstPhoneStatus = nullptr;
QLIB_DIAG_VERNO_F_t fn_QLIB_DIAG_VERNO_F = nullptr;
QLIB_DIAG_EXT_BUILD_ID_F_t fn_QLIB_DIAG_EXT_BUILD_ID_F = nullptr;
QLIB_FTM_GET_COMMAND_CODE_t fn_QLIB_FTM_GET_COMMAND_CODE = nullptr;
QLIB_GetPhoneOperatingMode_t fn_QLIB_GetPhoneOperatingMode = nullptr;
QLIB_GetPhoneCallState_t fn_QLIB_GetPhoneCallState = nullptr;
QLIB_QPHONEMS_UploadSB2MultiImage_t fn_QLIB_QPHONEMS_UploadSB2MultiImage = nullptr;
QLIB_ConfigureTimeOut_t fn_QLIB_ConfigureTimeOut = nullptr;
QLIB_UploadSB2MultiImage_t fn_QLIB_UploadSB2MultiImage = nullptr;
QLIB_DIAG_CONTROL_F_t fn_QLIB_DIAG_CONTROL_F = nullptr;
QLIB_ConnectServerWithHandShake_t fn_QLIB_ConnectServerWithHandShake = nullptr;
QLIB_NV_SetTargetSupportMultiSIM_t fn_QLIB_NV_SetTargetSupportMultiSIM = nullptr;
QLIB_NV_LoadNVDefinitionFile_t fn_QLIB_NV_LoadNVDefinitionFile = nullptr;
QLIB_NV_ClearNVValues_t fn_QLIB_NV_ClearNVValues = nullptr;
QLIB_DownloadCEFS_File_t fn_QLIB_DownloadCEFS_File = nullptr;
QLIB_TerminateQPSTServer_t fn_QLIB_TerminateQPSTServer = nullptr;

int gLongLabel = 0;

std::atomic<HANDLE> handeIndexMap[kHandleMapSize];
std::atomic<HANDLE> handeIndexQpstMap[kHandleMapSize];

namespace {

host::DynamicLibrary gLibrary;

// The phone server runs beside the station on the line PCs; it holds the diagnostic ports, so
// it is ended by name before a library is loaded or unloaded. The command line is what an
// operator would type for the same; the process is ended through the killer, not a shell.
constexpr char kQpstServerName[] = "QPSTServer.exe";
constexpr char kQpstKillCommandLine[] = "cmd.exe /C taskkill /f /im QPSTServer.exe";

void stopQpstServer() {
  std::fprintf(stderr, "%s\n", kQpstKillCommandLine);
  host::processKiller().endByName(kQpstServerName);
  host::Delay(1.0);
}

// Stores a looked-up address into its entry point.
template <auto& entryPoint>
void assign(void* address) {
  entryPoint = reinterpret_cast<std::remove_reference_t<decltype(entryPoint)>>(address);
}

struct Lookup {
  const char* name;
  void (*store)(void* address);
  // The "Error" box text when the function is missing; null: "<name> func loaded false!".
  const char* missingText = nullptr;
};

// Every lookup in binding order. Two functions are looked up twice into the same entry point;
// a missing function is reported at its first lookup.
const Lookup kLookups[] = {
    {"QLIB_SetLibraryMode", &assign<fn_QLIB_SetLibraryMode>,
     "LIB_SetLibraryMode func loaded false!"},
    {"QLIB_ConnectServer", &assign<fn_QLIB_ConnectServer>},
    {"QLIB_ConnectServerWithWait", &assign<fn_QLIB_ConnectServerWithWait>},
    {"QLIB_DisconnectServer", &assign<fn_QLIB_DisconnectServer>},
    {"QLIB_GetAvailablePhonesPortList", &assign<fn_QLIB_GetAvailablePhonesPortList>},
    {"QLIB_ConfigureLibraryTextLogCallBack", &assign<fn_QLIB_ConfigureLibraryTextLogCallBack>},
    {"QLIB_IsPhoneConnected", &assign<fn_QLIB_IsPhoneConnected>},
    {"QLIB_SetTargetType", &assign<fn_QLIB_SetTargetType>},
    {"QLIB_ConfigureCallBacks", &assign<fn_QLIB_ConfigureCallBacks>},
    {"QLIB_ConfigureLibraryTextLogCallBack", &assign<fn_QLIB_ConfigureLibraryTextLogCallBack>},
    {"QLIB_ExtendedTextMessage_SetCategoryEnable",
     &assign<fn_QLIB_ExtendedTextMessage_SetCategoryEnable>},
    {"QLIB_SetLogFlags", &assign<fn_QLIB_SetLogFlags>},
    {"QLIB_QPHONEMS_DownloadUserPartitions", &assign<fn_QLIB_QPHONEMS_DownloadUserPartitions>},
    {"QLIB_GetLastSoftwareDownloadErrorInfo", &assign<fn_QLIB_GetLastSoftwareDownloadErrorInfo>},
    {"QLIB_QPHONEMS_DLoad_SendNop", &assign<fn_QLIB_QPHONEMS_DLoad_SendNop>},
    {"QLIB_QPHONEMS_DLoad_Reset", &assign<fn_QLIB_QPHONEMS_DLoad_Reset>},
    {"QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation",
     &assign<fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation>},
    {"QLIB_QPHONEMS_SwitchToDownloadMode", &assign<fn_QLIB_QPHONEMS_SwitchToDownloadMode>,
     "fn_QLIB_QPHONEMS_SwitchToDownloadMode func loaded false!"},
    {"QLIB_QPHONEMS_SwitchToEDL", &assign<fn_QLIB_QPHONEMS_SwitchToEDL>,
     "fn_QLIB_QPHONEMS_SwitchToEDL func loaded false!"},
    {"QLIB_QPHONEMS_ConnectServer_Sahara", &assign<fn_QLIB_QPHONEMS_ConnectServer_Sahara>},
    {"QLIB_QPHONEMS_Sahara_SetImageTransferMode",
     &assign<fn_QLIB_QPHONEMS_Sahara_SetImageTransferMode>},
    {"QLIB_QPHONEMS_Sahara_FlashProgrammer", &assign<fn_QLIB_QPHONEMS_Sahara_FlashProgrammer>},
    {"QLIB_DisconnectServer_Sahara", &assign<fn_QLIB_DisconnectServer_Sahara>},
    {"QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack",
     &assign<fn_QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack>},
    {"QLIB_StartLogging", &assign<fn_QLIB_StartLogging>},
    {"QLIB_StopLogging", &assign<fn_QLIB_StopLogging>},
    {"QLIB_DownloadQcnFile_V2", &assign<fn_QLIB_DownloadQcnFile_V2>},
    {"QLIB_UploadQcnFile_V2", &assign<fn_QLIB_UploadQcnFile_V2>},
    {"QLIB_DownloadQcnFile", &assign<fn_QLIB_DownloadQcnFile>},
    {"QLIB_UploadQcnFile", &assign<fn_QLIB_UploadQcnFile>},
    {"QLIB_DIAG_SPC_F", &assign<fn_QLIB_DIAG_SPC_F>},
    {"QLIB_NV_LoadNVsFromQCN", &assign<fn_QLIB_NV_LoadNVsFromQCN>},
    {"QLIB_BackupNVFromMobileToQCN", &assign<fn_QLIB_BackupNVFromMobileToQCN>,
     "QLIB_BackupNVFromMobileToQCN_Typedef func loaded false!"},
    {"QLIB_NV_WriteNVsToMobile", &assign<fn_QLIB_NV_WriteNVsToMobile>},
    {"QLIB_DIAG_NV_WRITE_F", &assign<fn_QLIB_DIAG_NV_WRITE_F>},
    {"QLIB_DIAG_NV_READ_F", &assign<fn_QLIB_DIAG_NV_READ_F>},
    {"QLIB_DisconnectAllServers", &assign<fn_QLIB_DisconnectAllServers>},
    {"QLIB_QPHONEMS_SaharaConfigureCallback", &assign<fn_QLIB_QPHONEMS_SaharaConfigureCallback>},
    {"QLIB_QPHONEMS_ConnectServer_FireHose", &assign<fn_QLIB_QPHONEMS_ConnectServer_FireHose>},
    {"QLIB_QPHONEMS_FireHoseConfigureCallback",
     &assign<fn_QLIB_QPHONEMS_FireHoseConfigureCallback>},
    {"QLIB_QPHONEMS_FireHoseNOP", &assign<fn_QLIB_QPHONEMS_FireHoseNOP>},
    {"QLIB_QPHONEMS_FireHoseConfigure", &assign<fn_QLIB_QPHONEMS_FireHoseConfigure>},
    {"QLIB_QPHONEMS_UploadEmmcImage_FireHose", &assign<fn_QLIB_QPHONEMS_UploadEmmcImage_FireHose>},
    {"QLIB_DisconnectServer_FireHose", &assign<fn_QLIB_DisconnectServer_FireHose>},
    {"QLIB_QPHONEMS_FireHoseErase", &assign<fn_QLIB_QPHONEMS_FireHoseErase>},
    {"QLIB_GetLibraryCapabilities", &assign<fn_QLIB_GetLibraryCapabilities>},
    {"QLIB_FlushRxBuffer", &assign<fn_QLIB_FlushRxBuffer>},
    {"QLIB_GetLibraryVersion", &assign<fn_QLIB_GetLibraryVersion>},
    {"QLIB_GetQpstPhoneStatus", &assign<fn_QLIB_GetQpstPhoneStatus>},
    {"QLIB_DIAG_VERNO_F", &assign<fn_QLIB_DIAG_VERNO_F>},
    {"QLIB_DIAG_EXT_BUILD_ID_F", &assign<fn_QLIB_DIAG_EXT_BUILD_ID_F>},
    {"QLIB_FTM_GET_COMMAND_CODE", &assign<fn_QLIB_FTM_GET_COMMAND_CODE>},
    {"QLIB_GetPhoneOperatingMode", &assign<fn_QLIB_GetPhoneOperatingMode>},
    {"QLIB_GetPhoneCallState", &assign<fn_QLIB_GetPhoneCallState>},
    {"QLIB_QPHONEMS_UploadSB2MultiImage", &assign<fn_QLIB_QPHONEMS_UploadSB2MultiImage>},
    {"QLIB_ConfigureTimeOut", &assign<fn_QLIB_ConfigureTimeOut>},
    {"QLIB_UploadSB2MultiImage", &assign<fn_QLIB_UploadSB2MultiImage>},
    {"QLIB_DIAG_CONTROL_F", &assign<fn_QLIB_DIAG_CONTROL_F>},
    {"QLIB_ConnectServerWithHandShake", &assign<fn_QLIB_ConnectServerWithHandShake>},
    {"QLIB_NV_SetTargetSupportMultiSIM", &assign<fn_QLIB_NV_SetTargetSupportMultiSIM>},
    {"QLIB_NV_LoadNVDefinitionFile", &assign<fn_QLIB_NV_LoadNVDefinitionFile>},
    {"QLIB_DIAG_CONTROL_F", &assign<fn_QLIB_DIAG_CONTROL_F>},
    {"QLIB_NV_ClearNVValues", &assign<fn_QLIB_NV_ClearNVValues>},
    {"QLIB_DownloadCEFS_File", &assign<fn_QLIB_DownloadCEFS_File>},
    {"QLIB_TerminateQPSTServer", &assign<fn_QLIB_TerminateQPSTServer>},
};
static_assert(std::size(kLookups) == 65);

bool bindAll() {
  for (const Lookup& lookup : kLookups) {
    void* address = gLibrary.symbol(lookup.name);
    if (!address) {
      MessagePopup("Error", lookup.missingText ? std::string(lookup.missingText)
                                               : std::string(lookup.name) + " func loaded false!");
      return false;
    }
    lookup.store(address);
  }
  return true;
}

}  // namespace

bool IsQpstOpration() {
  for (const auto& entry : handeIndexQpstMap) {
    if (entry.load() != nullptr) return true;
  }
  return false;
}

int slotOfHandle(HANDLE handle) {
  if (!handle) return -1;
  for (int index = 0; index < dutCount(); ++index) {
    if (handeIndexMap[index].load() == handle) return index + 1;
  }
  return -1;
}

int slotOfHandleValue(uint32_t handleValue) {
  if (handleValue == 0) return -1;
  for (int index = 0; index < dutCount(); ++index) {
    const auto entry = reinterpret_cast<uintptr_t>(handeIndexMap[index].load());
    if (entry != 0 && static_cast<uint32_t>(entry) == handleValue) return index + 1;
  }
  return -1;
}

const char* qcaLibraryFileName(int platformType, int flag) {
  if (platformType == kQca8909) return "QMSL_MSVC10R.360.dll";
  if (platformType == kQca6695 || platformType == kQca6270) return "QMSL_MSVC10R.238.dll";
  return flag != 0 ? "QMSL_MSVC10R.247.dll" : "QMSL_MSVC10R.dll";
}

int qca_load_lib(int flag) {
  if (gLibrary.isOpen()) {
    stopQpstServer();
    gLibrary.close();
  }
  if (!pPlatforms) return -1;
  stopQpstServer();
  const char* fileName = qcaLibraryFileName(pPlatforms->type, flag);
  if (!gLibrary.open(fileName)) {
    // The loader that called fails visibly; the reason is only for the engineer's console.
    std::fprintf(stderr, "cannot load %s: %s\n", fileName, gLibrary.errorText().c_str());
    return -1;
  }
  // A library that lacks an entry point stays loaded; its callers never use it.
  if (!bindAll()) return -1;
  fn_QLIB_DisconnectAllServers();
  return 0;
}

int qca_unload_lib() {
  if (gLibrary.isOpen()) {
    stopQpstServer();
    gLibrary.close();
  }
  return 0;
}

bool qcaLibraryLoaded() {
  return gLibrary.isOpen();
}

const std::string& qcaLibraryPath() {
  return gLibrary.path();
}

int qca_connect_server(int port, int mode, HANDLE* handle) {
  fn_QLIB_SetLibraryMode(static_cast<unsigned char>(mode & 0xFF));
  HANDLE connection = fn_QLIB_ConnectServerWithWait(static_cast<unsigned int>(port), 10000);
  if (handle) *handle = connection;
  if (!connection) return -12;
  int falseAnswers = 0;
  while (!fn_QLIB_IsPhoneConnected(connection)) {
    if (++falseAnswers > 50) return -1;
    if (!host::Delay(0.1)) return -1;
  }
  fn_QLIB_SetTargetType(0);
  return 0;
}

void resetQcaBinding() {
  gLibrary.close();
  for (const Lookup& lookup : kLookups) lookup.store(nullptr);
  for (auto& entry : handeIndexMap) entry = nullptr;
  for (auto& entry : handeIndexQpstMap) entry = nullptr;
}
