#pragma once
// The binding of the diagnostic library: which library build is loaded for the current
// platform, one entry point per library function (fn_ + the function's name), the routine that
// connects a diagnostic port, and the per-slot handle maps through which the library's callbacks
// (which only receive a connection handle) find the DUT to report to.
//
// The entry points are written only by qca_load_lib / qca_unload_lib and read by the worker
// running a procedure. Tests may set them to fakes directly.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/qlib_api.h"

// The loaded library's entry points. They keep their last value after a failed load; callers
// use them only after qca_load_lib returned 0.
extern QLIB_SetLibraryMode_t fn_QLIB_SetLibraryMode;
extern QLIB_ConnectServer_t fn_QLIB_ConnectServer;
extern QLIB_ConnectServerWithWait_t fn_QLIB_ConnectServerWithWait;
extern QLIB_DisconnectServer_t fn_QLIB_DisconnectServer;
extern QLIB_GetAvailablePhonesPortList_t fn_QLIB_GetAvailablePhonesPortList;
extern QLIB_ConfigureLibraryTextLogCallBack_t fn_QLIB_ConfigureLibraryTextLogCallBack;
extern QLIB_IsPhoneConnected_t fn_QLIB_IsPhoneConnected;
extern QLIB_SetTargetType_t fn_QLIB_SetTargetType;
extern QLIB_ConfigureCallBacks_t fn_QLIB_ConfigureCallBacks;
extern QLIB_ExtendedTextMessage_SetCategoryEnable_t fn_QLIB_ExtendedTextMessage_SetCategoryEnable;
extern QLIB_SetLogFlags_t fn_QLIB_SetLogFlags;
extern QLIB_QPHONEMS_DownloadUserPartitions_t fn_QLIB_QPHONEMS_DownloadUserPartitions;
extern QLIB_GetLastSoftwareDownloadErrorInfo_t fn_QLIB_GetLastSoftwareDownloadErrorInfo;
extern QLIB_QPHONEMS_DLoad_SendNop_t fn_QLIB_QPHONEMS_DLoad_SendNop;
extern QLIB_QPHONEMS_DLoad_Reset_t fn_QLIB_QPHONEMS_DLoad_Reset;
extern QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation_t
    fn_QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation;
extern QLIB_QPHONEMS_SwitchToDownloadMode_t fn_QLIB_QPHONEMS_SwitchToDownloadMode;
extern QLIB_QPHONEMS_SwitchToEDL_t fn_QLIB_QPHONEMS_SwitchToEDL;
extern QLIB_QPHONEMS_ConnectServer_Sahara_t fn_QLIB_QPHONEMS_ConnectServer_Sahara;
extern QLIB_QPHONEMS_Sahara_SetImageTransferMode_t fn_QLIB_QPHONEMS_Sahara_SetImageTransferMode;
extern QLIB_QPHONEMS_Sahara_FlashProgrammer_t fn_QLIB_QPHONEMS_Sahara_FlashProgrammer;
extern QLIB_DisconnectServer_Sahara_t fn_QLIB_DisconnectServer_Sahara;
extern QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack_t
    fn_QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack;
extern QLIB_StartLogging_t fn_QLIB_StartLogging;
extern QLIB_StopLogging_t fn_QLIB_StopLogging;
extern QLIB_DownloadQcnFile_V2_t fn_QLIB_DownloadQcnFile_V2;
extern QLIB_UploadQcnFile_V2_t fn_QLIB_UploadQcnFile_V2;
extern QLIB_DownloadQcnFile_t fn_QLIB_DownloadQcnFile;
extern QLIB_UploadQcnFile_t fn_QLIB_UploadQcnFile;
extern QLIB_DIAG_SPC_F_t fn_QLIB_DIAG_SPC_F;
extern QLIB_NV_LoadNVsFromQCN_t fn_QLIB_NV_LoadNVsFromQCN;
extern QLIB_BackupNVFromMobileToQCN_t fn_QLIB_BackupNVFromMobileToQCN;
extern QLIB_NV_WriteNVsToMobile_t fn_QLIB_NV_WriteNVsToMobile;
extern QLIB_DIAG_NV_WRITE_F_t fn_QLIB_DIAG_NV_WRITE_F;
extern QLIB_DIAG_NV_READ_F_t fn_QLIB_DIAG_NV_READ_F;
extern QLIB_DisconnectAllServers_t fn_QLIB_DisconnectAllServers;
extern QLIB_QPHONEMS_SaharaConfigureCallback_t fn_QLIB_QPHONEMS_SaharaConfigureCallback;
extern QLIB_QPHONEMS_ConnectServer_FireHose_t fn_QLIB_QPHONEMS_ConnectServer_FireHose;
extern QLIB_QPHONEMS_FireHoseConfigureCallback_t fn_QLIB_QPHONEMS_FireHoseConfigureCallback;
extern QLIB_QPHONEMS_FireHoseNOP_t fn_QLIB_QPHONEMS_FireHoseNOP;
extern QLIB_QPHONEMS_FireHoseConfigure_t fn_QLIB_QPHONEMS_FireHoseConfigure;
extern QLIB_QPHONEMS_UploadEmmcImage_FireHose_t fn_QLIB_QPHONEMS_UploadEmmcImage_FireHose;
extern QLIB_DisconnectServer_FireHose_t fn_QLIB_DisconnectServer_FireHose;
extern QLIB_QPHONEMS_FireHoseErase_t fn_QLIB_QPHONEMS_FireHoseErase;
extern QLIB_GetLibraryCapabilities_t fn_QLIB_GetLibraryCapabilities;
extern QLIB_FlushRxBuffer_t fn_QLIB_FlushRxBuffer;
extern QLIB_GetLibraryVersion_t fn_QLIB_GetLibraryVersion;
extern QLIB_GetQpstPhoneStatus_t fn_QLIB_GetQpstPhoneStatus;
extern QLIB_DIAG_VERNO_F_t fn_QLIB_DIAG_VERNO_F;
extern QLIB_DIAG_EXT_BUILD_ID_F_t fn_QLIB_DIAG_EXT_BUILD_ID_F;
extern QLIB_FTM_GET_COMMAND_CODE_t fn_QLIB_FTM_GET_COMMAND_CODE;
extern QLIB_GetPhoneOperatingMode_t fn_QLIB_GetPhoneOperatingMode;
extern QLIB_GetPhoneCallState_t fn_QLIB_GetPhoneCallState;
extern QLIB_QPHONEMS_UploadSB2MultiImage_t fn_QLIB_QPHONEMS_UploadSB2MultiImage;
extern QLIB_ConfigureTimeOut_t fn_QLIB_ConfigureTimeOut;
extern QLIB_UploadSB2MultiImage_t fn_QLIB_UploadSB2MultiImage;
extern QLIB_DIAG_CONTROL_F_t fn_QLIB_DIAG_CONTROL_F;
extern QLIB_ConnectServerWithHandShake_t fn_QLIB_ConnectServerWithHandShake;
extern QLIB_NV_SetTargetSupportMultiSIM_t fn_QLIB_NV_SetTargetSupportMultiSIM;
extern QLIB_NV_LoadNVDefinitionFile_t fn_QLIB_NV_LoadNVDefinitionFile;
extern QLIB_NV_ClearNVValues_t fn_QLIB_NV_ClearNVValues;
extern QLIB_DownloadCEFS_File_t fn_QLIB_DownloadCEFS_File;
extern QLIB_TerminateQPSTServer_t fn_QLIB_TerminateQPSTServer;

// The `flag` that procedures pass when they load the library for a platform without a fixed
// library build (the Qca9206 file list sets it; the Qca9x07, Qca9x15 and Qca9x25 loaders set 0).
extern int gLongLabel;

// Per-slot connection handles, indexed by DUT number minus 1. handeIndexMap holds the handle of
// the slot's current diagnostic or Sahara connection; handeIndexQpstMap the handle of a running
// QCN backup or restore. Entries are 0 when unused.
inline constexpr int kHandleMapSize = 8;
extern std::atomic<HANDLE> handeIndexMap[kHandleMapSize];
extern std::atomic<HANDLE> handeIndexQpstMap[kHandleMapSize];

// True while any slot runs a QCN backup or restore (a handeIndexQpstMap entry is set); the
// procedures wait for it to end before they stop the vendor phone server.
bool IsQpstOpration();

// The DUT number whose handeIndexMap entry is `handle`, or -1 (also for a 0 handle). Library
// callbacks report for that number; reports for -1 are dropped.
int slotOfHandle(HANDLE handle);
// The same for callback records that carry the handle as a 32-bit value.
int slotOfHandleValue(uint32_t handleValue);

// The library build for a platform type and flag ("QMSL_MSVC10R.dll", ".360.dll", ...).
const char* qcaLibraryFileName(int platformType, int flag);

// Stops the vendor phone server and unloads any loaded library, then loads the build for the
// current platform and binds every entry point. 0 on success; -1 when no platform table
// exists, the library cannot be loaded, or an entry point is missing (shown in an "Error" box).
int qca_load_lib(int flag);

// Stops the vendor phone server and unloads the library, if one is loaded. Returns 0.
int qca_unload_lib();

// True while a library is loaded; the path it was loaded from.
bool qcaLibraryLoaded();
const std::string& qcaLibraryPath();

// Connects the diagnostic port `port` in library mode `mode` and waits for the phone. Stores
// the handle in `handle`. 0 on success, -12 when the connect fails, -1 when the phone never
// answers (or a stop was requested).
int qca_connect_server(int port, int mode, HANDLE* handle);

// For tests: unloads the library (without stopping the phone server), sets every entry point
// to null and clears both handle maps.
void resetQcaBinding();
