#pragma once
// The diagnostic library's functions as the station calls them: one C declaration and one
// function-pointer type (QLIB_<Name>_t) per entry point, the callback types, and the record
// layouts that cross the boundary. The station binds the functions at run time by name; the
// simulated library of the bench implements them. Both include this header so that the argument
// lists cannot drift apart.
//
// Sizes are fixed on purpose: 32-bit values are `unsigned int` (never `long`, which is 64-bit
// here), words are `unsigned short`, booleans and flags `unsigned char`. Handles are opaque,
// pointer-sized and never 0 when valid; a handle's value also fits into 32 bits, because some
// callback records carry it in a 32-bit field.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HANDLE;

// ---- Values the callers pass ----

enum {
  QLIB_LIB_MODE_QPHONEMS = 0,  // the library drives the port itself
  QLIB_LIB_MODE_QPST = 1,      // the library works through the phone server process
};

enum {
  QLIB_PHONE_MODE_OFFLINE_DIGITAL = 1,  // QLIB_DIAG_CONTROL_F modes
  QLIB_PHONE_MODE_RESET = 2,
  QLIB_PHONE_MODE_ONLINE = 4,
};

enum { QLIB_NV_FTM_MODE_ITEM = 453 };  // one byte: 1 = factory test mode on

// ---- Records ----

// One text-log record (QLIB_ConfigureLibraryTextLogCallBack): a 16-bit message type, then the
// NUL-terminated text from byte 8 on. Type 8 carries the library's progress texts
// ("Sending HELLO to flash programmer", "Downloading /fw/sbl1.mbn", ...), type 1 transfer notes
// ("SEND_ASYNC(4096)").
enum { QLIB_TEXT_LOG_TYPE_TRANSFER = 1, QLIB_TEXT_LOG_TYPE_TEXT = 8 };
enum { QLIB_TEXT_LOG_TEXT_OFFSET = 8, QLIB_TEXT_LOG_TEXT_SIZE = 512 };
typedef struct QLIB_TextLogRecord {
  unsigned short type;
  unsigned short reserved;
  unsigned int length;  // bytes of text without the terminator
  char text[QLIB_TEXT_LOG_TEXT_SIZE];
} QLIB_TextLogRecord;

// A download event (QLIB_ConfigureCallBacks, QPST mode): 32-bit event type and the 32-bit
// connection handle, then words; the 8th 16-bit word (byte 14) is a percentage. Types 0 and 1
// are progress of a file transfer.
enum {
  QLIB_DOWNLOAD_EVENT_START = 0,
  QLIB_DOWNLOAD_EVENT_PROGRESS = 1,
  QLIB_DOWNLOAD_EVENT_END = 2
};
typedef struct QLIB_DownloadEvent {
  unsigned int type;
  unsigned int handle;
  unsigned short words[4];  // words[3] is the 8th 16-bit word of the record: the percentage
  unsigned int reserved[4];
} QLIB_DownloadEvent;

// An asynchronous message (QLIB_ConfigureCallBacks): byte 0 is 0x10 and the word at byte 6 is
// 0xFFFF for a text message; its 16-bit log type sits at byte 16, its text at byte 24.
enum { QLIB_ASYNC_TEXT_MARKER = 0x10, QLIB_ASYNC_TEXT_TAG = 0xFFFF };
enum { QLIB_ASYNC_TEXT_OFFSET = 24, QLIB_ASYNC_TEXT_SIZE = 488 };
typedef struct QLIB_AsyncTextMessage {
  unsigned char marker;  // 0x10
  unsigned char reserved1[5];
  unsigned short tag;  // 0xFFFF
  unsigned char reserved2[8];
  unsigned short logType;
  unsigned char reserved3[6];
  char text[QLIB_ASYNC_TEXT_SIZE];
} QLIB_AsyncTextMessage;

// The list of user partitions of a streaming download: entries of a partition name ("0:SBL")
// and a file path, zero-filled, then the number of entries used. The long-name form is the one
// of the long-name library build ("QMSL_MSVC10R.247.dll").
typedef struct QLIB_UserPartitionEntry {
  char name[10];
  char path[256];
} QLIB_UserPartitionEntry;
typedef struct QLIB_UserPartitionList {
  QLIB_UserPartitionEntry entries[10];
  unsigned int count;
} QLIB_UserPartitionList;

typedef struct QLIB_LongUserPartitionEntry {
  char name[129];
  char path[256];
} QLIB_LongUserPartitionEntry;
typedef struct QLIB_LongUserPartitionList {
  QLIB_LongUserPartitionEntry entries[15];
  unsigned int count;  // after one byte of padding
} QLIB_LongUserPartitionList;

// ---- Callbacks ----

// Text-log callback: the library's context (unused by callers), the record, the handle.
typedef void (*QLIB_TextLogCallback_t)(void* context, const void* message, HANDLE handle);
// Text callbacks of the Sahara connection and of the programmer upload: handle and text.
typedef void (*QLIB_TextCallback_t)(HANDLE handle, const char* text);
// Download events (QPST mode); returns 1.
typedef unsigned char (*QLIB_DownloadEventCallback_t)(const void* event);
// Asynchronous messages: context (unused), message record, handle.
typedef void (*QLIB_AsyncMessageCallback_t)(void* context, const void* message, HANDLE handle);
// The first callback of QLIB_ConfigureCallBacks; callers pass 0.
typedef void (*QLIB_ReservedCallback_t)(void);

// ---- The 63 functions, in the station's binding order ----

// 1-12: connections, callbacks, logging
void QLIB_SetLibraryMode(unsigned char mode);
HANDLE QLIB_ConnectServer(unsigned int comPort);
HANDLE QLIB_ConnectServerWithWait(unsigned int comPort, unsigned int waitMs);
void QLIB_DisconnectServer(HANDLE handle);
unsigned char QLIB_GetAvailablePhonesPortList(unsigned short* portCount, unsigned short* ports,
                                              unsigned short ignoreCount,
                                              const unsigned short* ignorePorts);
void QLIB_ConfigureLibraryTextLogCallBack(HANDLE handle, QLIB_TextLogCallback_t callback);
unsigned char QLIB_IsPhoneConnected(HANDLE handle);
void QLIB_SetTargetType(unsigned char targetType);
void QLIB_ConfigureCallBacks(HANDLE handle, QLIB_ReservedCallback_t reserved,
                             QLIB_DownloadEventCallback_t downloadEvent,
                             QLIB_AsyncMessageCallback_t asyncMessage);
unsigned char QLIB_ExtendedTextMessage_SetCategoryEnable(HANDLE handle, unsigned short category,
                                                         unsigned char enable);
void QLIB_SetLogFlags(HANDLE handle, unsigned int flags);

// 13-24: download mode, streaming download, Sahara
// `userPartitionList` is a QLIB_UserPartitionList (a QLIB_LongUserPartitionList for the
// long-name build). `bootAfterDownload` 1 restarts the module when every partition is written;
// `verifyPartitions` 1 reads each partition's result back. Returns 1 when every partition was
// written; `status` receives 0 then, else an error number.
unsigned char QLIB_QPHONEMS_DownloadUserPartitions(
    HANDLE handle, const char* programmerPath, const char* partitionFilePath,
    const void* userPartitionList, unsigned char overridePartitionTable,
    unsigned char bootAfterDownload, unsigned char verifyPartitions, unsigned int helloTimeoutMs,
    unsigned int partitionTimeoutMs, unsigned int* status);
unsigned char QLIB_GetLastSoftwareDownloadErrorInfo(HANDLE handle, unsigned char* errorPresent,
                                                    char* text, int textSize);
unsigned char QLIB_QPHONEMS_DLoad_SendNop(HANDLE handle, unsigned int timeoutMs);
unsigned char QLIB_QPHONEMS_DLoad_Reset(HANDLE handle, unsigned int timeoutMs);
unsigned char QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation(HANDLE handle,
                                                                    unsigned int timeoutMs,
                                                                    unsigned char validate,
                                                                    unsigned char* result);
unsigned char QLIB_QPHONEMS_SwitchToDownloadMode(HANDLE handle, unsigned int timeoutMs);
unsigned char QLIB_QPHONEMS_SwitchToEDL(HANDLE handle);
// `info` receives up to `200` bytes of text about the target. Returns the Sahara handle, 0 when
// no download port answers on `comPort`.
HANDLE QLIB_QPHONEMS_ConnectServer_Sahara(unsigned int comPort, unsigned int* version,
                                          unsigned int* serialNumber, unsigned int* msmId,
                                          char* info, unsigned char readInfo, unsigned int mode,
                                          unsigned int timeoutMs, QLIB_TextCallback_t callback);
unsigned char QLIB_QPHONEMS_Sahara_SetImageTransferMode(HANDLE saharaHandle, unsigned char mode);
unsigned char QLIB_QPHONEMS_Sahara_FlashProgrammer(HANDLE saharaHandle, const char* programmerPath);
void QLIB_DisconnectServer_Sahara(HANDLE saharaHandle);
void QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack(HANDLE handle,
                                                        QLIB_TextCallback_t callback);

// 25-37: logging, QCN files, NV items
unsigned char QLIB_StartLogging(HANDLE handle, const char* logFilePath);
unsigned char QLIB_StopLogging(HANDLE handle);
unsigned char QLIB_DownloadQcnFile_V2(HANDLE handle, const char* xqcnPath, const char* spc);
unsigned char QLIB_UploadQcnFile_V2(HANDLE handle, const char* xqcnPath, const char* spc,
                                    unsigned char restartAfter);
unsigned char QLIB_DownloadQcnFile(HANDLE handle, const char* qcnPath, const char* spc);
unsigned char QLIB_UploadQcnFile(HANDLE handle, const char* qcnPath, const char* spc,
                                 unsigned char restartAfter, unsigned char skipItemCheck,
                                 unsigned char allowIdentityMismatch,
                                 unsigned char writeReadOnlyItems);
// `spc` is 6 characters (no terminator needed); `status` 1 when the module accepted it.
unsigned char QLIB_DIAG_SPC_F(HANDLE handle, const unsigned char* spc, unsigned char* status);
unsigned char QLIB_NV_LoadNVsFromQCN(HANDLE handle, const char* path, int* itemCount,
                                     int* resultCode);
unsigned char QLIB_BackupNVFromMobileToQCN(HANDLE handle, const char* path, int* resultCode);
unsigned char QLIB_NV_WriteNVsToMobile(HANDLE handle, int* resultCode);
// `status` 0 when the item was written / read.
unsigned char QLIB_DIAG_NV_WRITE_F(HANDLE handle, unsigned short item, const unsigned char* data,
                                   int size, unsigned short* status);
unsigned char QLIB_DIAG_NV_READ_F(HANDLE handle, unsigned short item, unsigned char* data, int size,
                                  unsigned short* status);
void QLIB_DisconnectAllServers(void);

// 38-45: Firehose over the library (bound, not called by the station)
void QLIB_QPHONEMS_SaharaConfigureCallback(HANDLE handle, QLIB_TextCallback_t callback);
HANDLE QLIB_QPHONEMS_ConnectServer_FireHose(unsigned int comPort, unsigned int timeoutMs);
void QLIB_QPHONEMS_FireHoseConfigureCallback(HANDLE handle, QLIB_TextCallback_t callback);
unsigned char QLIB_QPHONEMS_FireHoseNOP(HANDLE handle);
unsigned char QLIB_QPHONEMS_FireHoseConfigure(HANDLE handle, const char* memoryName,
                                              unsigned char skipWrite,
                                              unsigned int maxPayloadBytes);
unsigned char QLIB_QPHONEMS_UploadEmmcImage_FireHose(HANDLE handle, const char* rawprogramPath,
                                                     const char* patchPath);
void QLIB_DisconnectServer_FireHose(HANDLE handle);
unsigned char QLIB_QPHONEMS_FireHoseErase(HANDLE handle, const char* partitionLabel);

// 46-54: library and phone reports
void QLIB_GetLibraryCapabilities(unsigned char* supportsDiag, unsigned char* supportsEfs,
                                 unsigned char* supportsSwDownload, unsigned char* usingQpst);
unsigned char QLIB_FlushRxBuffer(HANDLE handle);
// Writes at most QLIB_LIBRARY_VERSION_SIZE bytes including the terminator.
enum { QLIB_LIBRARY_VERSION_SIZE = 64 };
void QLIB_GetLibraryVersion(char* text);
// `status` is one of the phone states 0-11 (0 none, 2 download, 3 diagnostic, ...).
unsigned char QLIB_GetQpstPhoneStatus(HANDLE handle, unsigned int* status);
// Texts of 12, 9, 12, 9 and 9 bytes, each terminated within its size.
unsigned char QLIB_DIAG_VERNO_F(HANDLE handle, char* compileDate, char* compileTime,
                                char* releaseDate, char* releaseTime, char* versionDir,
                                unsigned char* stationClassMark, unsigned char* caiRevision,
                                unsigned char* mobileModel, unsigned short* firmwareRevision,
                                unsigned char* slotCycleIndex, unsigned char* vocoderMajor,
                                unsigned char* vocoderMinor);
// Texts of 512 bytes each.
unsigned char QLIB_DIAG_EXT_BUILD_ID_F(HANDLE handle, unsigned int* msmHwVersion,
                                       unsigned int* mobileModel, char* softwareRevision,
                                       char* modelId);
unsigned char QLIB_FTM_GET_COMMAND_CODE(HANDLE handle, unsigned short* commandCode);
unsigned char QLIB_GetPhoneOperatingMode(HANDLE handle, unsigned int* mode);
unsigned char QLIB_GetPhoneCallState(HANDLE handle, int* callState, int* systemMode);

// 55-57: multi-image upload in the older download mode
unsigned char QLIB_QPHONEMS_UploadSB2MultiImage(
    HANDLE handle, const char* programmerPath, const char* partitionPath, const char* dblPath,
    const char* fsblPath, const char* osblPath, const char* modemPath, const char* extraImagePath1,
    const char* extraImagePath2, const char* extraImagePath3, const char* extraImagePath4,
    const char* extraImagePath5, const char* extraText1, const char* extraText2,
    const char* extraText3, const char* extraText4, const char* extraText5, const char* extraText6,
    unsigned char skipProgrammer, unsigned char overridePartitionTable,
    unsigned char bootAfterDownload, unsigned char verifyImages, unsigned int helloTimeoutMs,
    unsigned int imageTimeoutMs, int* errorCode);
unsigned char QLIB_ConfigureTimeOut(HANDLE handle, unsigned int timeoutId, unsigned int timeoutMs);
unsigned char QLIB_UploadSB2MultiImage(
    HANDLE handle, const char* programmerPath, const char* partitionPath, const char* dblPath,
    const char* fsblPath, const char* osblPath, const char* modemPath, const char* extraImagePath1,
    const char* extraImagePath2, const char* extraImagePath3, const char* extraImagePath4,
    const char* extraImagePath5, const char* extraText1, const char* extraText2,
    const char* extraText3, const char* extraText4, const char* extraText5, const char* extraText6,
    unsigned char skipProgrammer, unsigned char overridePartitionTable,
    unsigned char bootAfterDownload, unsigned char verifyImages, unsigned int helloTimeoutMs,
    unsigned int imageTimeoutMs, int* errorCode);

// 58-65: phone control, NV definitions, EFS, the phone server
unsigned char QLIB_DIAG_CONTROL_F(HANDLE handle, int mode);
HANDLE QLIB_ConnectServerWithHandShake(unsigned int comPort);
unsigned char QLIB_NV_SetTargetSupportMultiSIM(HANDLE handle, unsigned char enable);
unsigned char QLIB_NV_LoadNVDefinitionFile(HANDLE handle, const char* path);
unsigned char QLIB_NV_ClearNVValues(HANDLE handle);
unsigned char QLIB_DownloadCEFS_File(HANDLE handle, const char* path);
unsigned char QLIB_TerminateQPSTServer(void);

// ---- Function-pointer types, one per function ----

typedef void (*QLIB_SetLibraryMode_t)(unsigned char);
typedef HANDLE (*QLIB_ConnectServer_t)(unsigned int);
typedef HANDLE (*QLIB_ConnectServerWithWait_t)(unsigned int, unsigned int);
typedef void (*QLIB_DisconnectServer_t)(HANDLE);
typedef unsigned char (*QLIB_GetAvailablePhonesPortList_t)(unsigned short*, unsigned short*,
                                                           unsigned short, const unsigned short*);
typedef void (*QLIB_ConfigureLibraryTextLogCallBack_t)(HANDLE, QLIB_TextLogCallback_t);
typedef unsigned char (*QLIB_IsPhoneConnected_t)(HANDLE);
typedef void (*QLIB_SetTargetType_t)(unsigned char);
typedef void (*QLIB_ConfigureCallBacks_t)(HANDLE, QLIB_ReservedCallback_t,
                                          QLIB_DownloadEventCallback_t,
                                          QLIB_AsyncMessageCallback_t);
typedef unsigned char (*QLIB_ExtendedTextMessage_SetCategoryEnable_t)(HANDLE, unsigned short,
                                                                      unsigned char);
typedef void (*QLIB_SetLogFlags_t)(HANDLE, unsigned int);
typedef unsigned char (*QLIB_QPHONEMS_DownloadUserPartitions_t)(HANDLE, const char*, const char*,
                                                                const void*, unsigned char,
                                                                unsigned char, unsigned char,
                                                                unsigned int, unsigned int,
                                                                unsigned int*);
typedef unsigned char (*QLIB_GetLastSoftwareDownloadErrorInfo_t)(HANDLE, unsigned char*, char*,
                                                                 int);
typedef unsigned char (*QLIB_QPHONEMS_DLoad_SendNop_t)(HANDLE, unsigned int);
typedef unsigned char (*QLIB_QPHONEMS_DLoad_Reset_t)(HANDLE, unsigned int);
typedef unsigned char (*QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation_t)(HANDLE,
                                                                                 unsigned int,
                                                                                 unsigned char,
                                                                                 unsigned char*);
typedef unsigned char (*QLIB_QPHONEMS_SwitchToDownloadMode_t)(HANDLE, unsigned int);
typedef unsigned char (*QLIB_QPHONEMS_SwitchToEDL_t)(HANDLE);
typedef HANDLE (*QLIB_QPHONEMS_ConnectServer_Sahara_t)(unsigned int, unsigned int*, unsigned int*,
                                                       unsigned int*, char*, unsigned char,
                                                       unsigned int, unsigned int,
                                                       QLIB_TextCallback_t);
typedef unsigned char (*QLIB_QPHONEMS_Sahara_SetImageTransferMode_t)(HANDLE, unsigned char);
typedef unsigned char (*QLIB_QPHONEMS_Sahara_FlashProgrammer_t)(HANDLE, const char*);
typedef void (*QLIB_DisconnectServer_Sahara_t)(HANDLE);
typedef void (*QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack_t)(HANDLE, QLIB_TextCallback_t);
typedef unsigned char (*QLIB_StartLogging_t)(HANDLE, const char*);
typedef unsigned char (*QLIB_StopLogging_t)(HANDLE);
typedef unsigned char (*QLIB_DownloadQcnFile_V2_t)(HANDLE, const char*, const char*);
typedef unsigned char (*QLIB_UploadQcnFile_V2_t)(HANDLE, const char*, const char*, unsigned char);
typedef unsigned char (*QLIB_DownloadQcnFile_t)(HANDLE, const char*, const char*);
typedef unsigned char (*QLIB_UploadQcnFile_t)(HANDLE, const char*, const char*, unsigned char,
                                              unsigned char, unsigned char, unsigned char);
typedef unsigned char (*QLIB_DIAG_SPC_F_t)(HANDLE, const unsigned char*, unsigned char*);
typedef unsigned char (*QLIB_NV_LoadNVsFromQCN_t)(HANDLE, const char*, int*, int*);
typedef unsigned char (*QLIB_BackupNVFromMobileToQCN_t)(HANDLE, const char*, int*);
typedef unsigned char (*QLIB_NV_WriteNVsToMobile_t)(HANDLE, int*);
typedef unsigned char (*QLIB_DIAG_NV_WRITE_F_t)(HANDLE, unsigned short, const unsigned char*, int,
                                                unsigned short*);
typedef unsigned char (*QLIB_DIAG_NV_READ_F_t)(HANDLE, unsigned short, unsigned char*, int,
                                               unsigned short*);
typedef void (*QLIB_DisconnectAllServers_t)(void);
typedef void (*QLIB_QPHONEMS_SaharaConfigureCallback_t)(HANDLE, QLIB_TextCallback_t);
typedef HANDLE (*QLIB_QPHONEMS_ConnectServer_FireHose_t)(unsigned int, unsigned int);
typedef void (*QLIB_QPHONEMS_FireHoseConfigureCallback_t)(HANDLE, QLIB_TextCallback_t);
typedef unsigned char (*QLIB_QPHONEMS_FireHoseNOP_t)(HANDLE);
typedef unsigned char (*QLIB_QPHONEMS_FireHoseConfigure_t)(HANDLE, const char*, unsigned char,
                                                           unsigned int);
typedef unsigned char (*QLIB_QPHONEMS_UploadEmmcImage_FireHose_t)(HANDLE, const char*, const char*);
typedef void (*QLIB_DisconnectServer_FireHose_t)(HANDLE);
typedef unsigned char (*QLIB_QPHONEMS_FireHoseErase_t)(HANDLE, const char*);
typedef void (*QLIB_GetLibraryCapabilities_t)(unsigned char*, unsigned char*, unsigned char*,
                                              unsigned char*);
typedef unsigned char (*QLIB_FlushRxBuffer_t)(HANDLE);
typedef void (*QLIB_GetLibraryVersion_t)(char*);
typedef unsigned char (*QLIB_GetQpstPhoneStatus_t)(HANDLE, unsigned int*);
typedef unsigned char (*QLIB_DIAG_VERNO_F_t)(HANDLE, char*, char*, char*, char*, char*,
                                             unsigned char*, unsigned char*, unsigned char*,
                                             unsigned short*, unsigned char*, unsigned char*,
                                             unsigned char*);
typedef unsigned char (*QLIB_DIAG_EXT_BUILD_ID_F_t)(HANDLE, unsigned int*, unsigned int*, char*,
                                                    char*);
typedef unsigned char (*QLIB_FTM_GET_COMMAND_CODE_t)(HANDLE, unsigned short*);
typedef unsigned char (*QLIB_GetPhoneOperatingMode_t)(HANDLE, unsigned int*);
typedef unsigned char (*QLIB_GetPhoneCallState_t)(HANDLE, int*, int*);
typedef unsigned char (*QLIB_QPHONEMS_UploadSB2MultiImage_t)(
    HANDLE, const char*, const char*, const char*, const char*, const char*, const char*,
    const char*, const char*, const char*, const char*, const char*, const char*, const char*,
    const char*, const char*, const char*, const char*, unsigned char, unsigned char, unsigned char,
    unsigned char, unsigned int, unsigned int, int*);
typedef unsigned char (*QLIB_ConfigureTimeOut_t)(HANDLE, unsigned int, unsigned int);
typedef QLIB_QPHONEMS_UploadSB2MultiImage_t QLIB_UploadSB2MultiImage_t;
typedef unsigned char (*QLIB_DIAG_CONTROL_F_t)(HANDLE, int);
typedef HANDLE (*QLIB_ConnectServerWithHandShake_t)(unsigned int);
typedef unsigned char (*QLIB_NV_SetTargetSupportMultiSIM_t)(HANDLE, unsigned char);
typedef unsigned char (*QLIB_NV_LoadNVDefinitionFile_t)(HANDLE, const char*);
typedef unsigned char (*QLIB_NV_ClearNVValues_t)(HANDLE);
typedef unsigned char (*QLIB_DownloadCEFS_File_t)(HANDLE, const char*);
typedef unsigned char (*QLIB_TerminateQPSTServer_t)(void);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(HANDLE) == sizeof(void*));
static_assert(offsetof(QLIB_TextLogRecord, text) == QLIB_TEXT_LOG_TEXT_OFFSET);
static_assert(offsetof(QLIB_DownloadEvent, words) + 3 * sizeof(unsigned short) == 14);
static_assert(offsetof(QLIB_AsyncTextMessage, tag) == 6);
static_assert(offsetof(QLIB_AsyncTextMessage, logType) == 16);
static_assert(offsetof(QLIB_AsyncTextMessage, text) == QLIB_ASYNC_TEXT_OFFSET);
static_assert(sizeof(QLIB_UserPartitionEntry) == 266);
static_assert(sizeof(QLIB_UserPartitionList) == 10 * 266 + 4);
static_assert(sizeof(QLIB_LongUserPartitionEntry) == 385);
static_assert(offsetof(QLIB_LongUserPartitionList, count) == 15 * 385 + 1);
static_assert(sizeof(QLIB_LongUserPartitionList) == 15 * 385 + 1 + 4);

// The 63 entry points in binding order, for binders and for checks of a library build.
inline constexpr int kQlibFunctionCount = 63;
inline constexpr const char* kQlibFunctionNames[kQlibFunctionCount] = {
    "QLIB_SetLibraryMode",
    "QLIB_ConnectServer",
    "QLIB_ConnectServerWithWait",
    "QLIB_DisconnectServer",
    "QLIB_GetAvailablePhonesPortList",
    "QLIB_ConfigureLibraryTextLogCallBack",
    "QLIB_IsPhoneConnected",
    "QLIB_SetTargetType",
    "QLIB_ConfigureCallBacks",
    "QLIB_ExtendedTextMessage_SetCategoryEnable",
    "QLIB_SetLogFlags",
    "QLIB_QPHONEMS_DownloadUserPartitions",
    "QLIB_GetLastSoftwareDownloadErrorInfo",
    "QLIB_QPHONEMS_DLoad_SendNop",
    "QLIB_QPHONEMS_DLoad_Reset",
    "QLIB_QPHONEMS_SwitchToDownloadMode_OptionalValidation",
    "QLIB_QPHONEMS_SwitchToDownloadMode",
    "QLIB_QPHONEMS_SwitchToEDL",
    "QLIB_QPHONEMS_ConnectServer_Sahara",
    "QLIB_QPHONEMS_Sahara_SetImageTransferMode",
    "QLIB_QPHONEMS_Sahara_FlashProgrammer",
    "QLIB_DisconnectServer_Sahara",
    "QLIB_QPHONEMS_UploadSBMultiImage_ConfigureCallBack",
    "QLIB_StartLogging",
    "QLIB_StopLogging",
    "QLIB_DownloadQcnFile_V2",
    "QLIB_UploadQcnFile_V2",
    "QLIB_DownloadQcnFile",
    "QLIB_UploadQcnFile",
    "QLIB_DIAG_SPC_F",
    "QLIB_NV_LoadNVsFromQCN",
    "QLIB_BackupNVFromMobileToQCN",
    "QLIB_NV_WriteNVsToMobile",
    "QLIB_DIAG_NV_WRITE_F",
    "QLIB_DIAG_NV_READ_F",
    "QLIB_DisconnectAllServers",
    "QLIB_QPHONEMS_SaharaConfigureCallback",
    "QLIB_QPHONEMS_ConnectServer_FireHose",
    "QLIB_QPHONEMS_FireHoseConfigureCallback",
    "QLIB_QPHONEMS_FireHoseNOP",
    "QLIB_QPHONEMS_FireHoseConfigure",
    "QLIB_QPHONEMS_UploadEmmcImage_FireHose",
    "QLIB_DisconnectServer_FireHose",
    "QLIB_QPHONEMS_FireHoseErase",
    "QLIB_GetLibraryCapabilities",
    "QLIB_FlushRxBuffer",
    "QLIB_GetLibraryVersion",
    "QLIB_GetQpstPhoneStatus",
    "QLIB_DIAG_VERNO_F",
    "QLIB_DIAG_EXT_BUILD_ID_F",
    "QLIB_FTM_GET_COMMAND_CODE",
    "QLIB_GetPhoneOperatingMode",
    "QLIB_GetPhoneCallState",
    "QLIB_QPHONEMS_UploadSB2MultiImage",
    "QLIB_ConfigureTimeOut",
    "QLIB_UploadSB2MultiImage",
    "QLIB_DIAG_CONTROL_F",
    "QLIB_ConnectServerWithHandShake",
    "QLIB_NV_SetTargetSupportMultiSIM",
    "QLIB_NV_LoadNVDefinitionFile",
    "QLIB_NV_ClearNVValues",
    "QLIB_DownloadCEFS_File",
    "QLIB_TerminateQPSTServer",
};
#endif
