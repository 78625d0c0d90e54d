// NV items, the service programming code, QCN/XQCN backup and restore in both library modes,
// and the EFS image read.

#include <cstring>
#include <fstream>

#include "sim/qlib/library_state.h"

using namespace simqlib;

namespace {

// Result codes of the NV file functions.
constexpr int kNvOk = 0;
constexpr int kNvNoPhone = 1;
constexpr int kNvFileError = 2;
constexpr int kNvInterrupted = 3;

// NV status words of the item read and write.
constexpr unsigned short kNvDone = 0;
constexpr unsigned short kNvNotActive = 5;

// Pacing of the NV transfers: seconds per item.
constexpr double kSecondsPerItem = 0.002;

bool isDiag(HANDLE handle) {
  auto connection = findConnection(handle);
  return connection && connection->kind == ConnectionKind::kDiag;
}

bool isXqcn(const std::string& path) {
  return path.size() >= 6 && path.compare(path.size() - 6, 6, ".xqcn") == 0;
}

// Reads all NV items into a backup file, reporting progress the way the mode does: download
// events in QPST mode, asynchronous text messages otherwise.
bool backup(HANDLE handle, const char* path, int* resultCode) {
  auto result = [&](int code) {
    if (resultCode) *resultCode = code;
    return code == kNvOk;
  };
  if (!isDiag(handle)) return result(kNvNoPhone);
  if (!path || !*path) return result(kNvFileError);
  bool ok = false;
  onLibraryThread([&] {
    const bool qpst = usingQpst();
    qpst ? emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_START, 0)
         : emitAsyncText(handle, "Reading NV items from the phone");
    nlohmann::json reply;
    ok = askOn(handle, "qcn-backup", reply,
               {{"path", path}, {"form", isXqcn(path) ? "xqcn" : "qcn"}});
    if (!ok) {
      setLastError(handle, "NV backup failed: " + reply.value("error", "no answer"));
      return;
    }
    const unsigned items = reply.value("items", 0u);
    for (unsigned percent = 10; percent <= 100; percent += 10) {
      paceSeconds(kSecondsPerItem * items / 10);
      if (qpst) emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_PROGRESS, percent);
    }
    qpst ? emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_END, 100)
         : emitAsyncText(handle, std::to_string(items) + " NV items written to the backup");
  });
  return result(ok ? kNvOk : kNvFileError);
}

// Writes the items of a backup file into the module, in steps that the bench may interrupt
// (an unplug fault of the tp stage). The module takes them only with the service programming
// code: `spc` through the phone server, or sent on the connection before in direct mode.
bool restore(HANDLE handle, const std::string& path, const std::string& spc, int* resultCode) {
  auto result = [&](int code) {
    if (resultCode) *resultCode = code;
    return code == kNvOk;
  };
  if (!isDiag(handle)) return result(kNvNoPhone);
  int code = kNvOk;
  onLibraryThread([&] {
    nlohmann::json reply;
    const nlohmann::json target = {{"path", path}, {"spc", spc}};
    nlohmann::json check = target;
    check["write"] = true;
    if (!askOn(handle, "qcn-check", reply, check)) {
      setLastError(handle, "NV restore failed: " + reply.value("error", "no answer"));
      code = kNvFileError;
      return;
    }
    const uint64_t items = reply.value("items", uint64_t{0});
    const bool qpst = usingQpst();
    qpst ? emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_START, 0)
         : emitAsyncText(handle, "Writing " + std::to_string(items) + " NV items to the phone");
    for (uint64_t percent = 0; percent <= 100; percent += 10) {
      if (!askOn(handle, "transfer", reply,
                 {{"stage", "tp"}, {"done", items * percent / 100}, {"total", items}})) {
        setLastError(handle, "The phone stopped answering during the NV restore");
        code = kNvInterrupted;
        return;
      }
      if (qpst)
        emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_PROGRESS, static_cast<unsigned>(percent));
      paceSeconds(kSecondsPerItem * static_cast<double>(items) / 10);
    }
    if (!askOn(handle, "qcn-restore", reply, target)) {
      setLastError(handle, "NV restore failed: " + reply.value("error", "no answer"));
      code = kNvFileError;
      return;
    }
    if (qpst) emitDownloadEvent(handle, QLIB_DOWNLOAD_EVENT_END, 100);
  });
  return result(code);
}

// The QPST-mode upload: restore, then restart the module when asked to.
unsigned char upload(HANDLE handle, const char* path, const char* spc, unsigned char restartAfter) {
  if (!path) return 0;
  int code = kNvOk;
  if (!restore(handle, path, spc ? spc : "", &code)) return 0;
  if (restartAfter) {
    nlohmann::json reply;
    askOn(handle, "control", reply, {{"mode", QLIB_PHONE_MODE_RESET}});
  }
  return 1;
}

}  // namespace

extern "C" {

unsigned char QLIB_DIAG_NV_READ_F(HANDLE handle, unsigned short item, unsigned char* data, int size,
                                  unsigned short* status) {
  nlohmann::json reply;
  if (!isDiag(handle) || !data || size <= 0) return 0;
  if (!askOn(handle, "nv-read", reply, {{"item", item}})) {
    if (status) *status = kNvNotActive;
    return reply.value("error", "") == "item not active" ? 1 : 0;
  }
  std::memset(data, 0, static_cast<size_t>(size));
  const auto bytes = reply.value("data", nlohmann::json::array());
  for (size_t i = 0; i < bytes.size() && i < static_cast<size_t>(size); ++i) {
    data[i] = bytes[i].get<unsigned char>();
  }
  if (status) *status = kNvDone;
  return 1;
}

unsigned char QLIB_DIAG_NV_WRITE_F(HANDLE handle, unsigned short item, const unsigned char* data,
                                   int size, unsigned short* status) {
  if (!isDiag(handle) || !data || size <= 0 || size > 128) return 0;
  nlohmann::json bytes = nlohmann::json::array();
  for (int i = 0; i < size; ++i) bytes.push_back(data[i]);
  nlohmann::json reply;
  if (!askOn(handle, "nv-write", reply, {{"item", item}, {"data", bytes}})) return 0;
  if (status) *status = kNvDone;
  return 1;
}

unsigned char QLIB_DIAG_SPC_F(HANDLE handle, const unsigned char* spc, unsigned char* status) {
  if (!isDiag(handle) || !spc) return 0;
  nlohmann::json reply;
  const std::string code(reinterpret_cast<const char*>(spc),
                         strnlen(reinterpret_cast<const char*>(spc), 6));
  if (!askOn(handle, "spc", reply, {{"spc", code}})) return 0;
  if (status) *status = reply.value("accepted", false) ? 1 : 0;
  return 1;
}

unsigned char QLIB_NV_SetTargetSupportMultiSIM(HANDLE handle, unsigned char) {
  nlohmann::json reply;
  return isDiag(handle) && askOn(handle, "operating-mode", reply) ? 1 : 0;
}

unsigned char QLIB_BackupNVFromMobileToQCN(HANDLE handle, const char* path, int* resultCode) {
  return backup(handle, path, resultCode) ? 1 : 0;
}

unsigned char QLIB_NV_LoadNVsFromQCN(HANDLE handle, const char* path, int* itemCount,
                                     int* resultCode) {
  nlohmann::json reply;
  if (!isDiag(handle) || !path || !askOn(handle, "qcn-check", reply, {{"path", path}})) {
    if (resultCode) *resultCode = isDiag(handle) ? kNvFileError : kNvNoPhone;
    return 0;
  }
  updateConnection(handle, [&](Connection& c) { c.pendingQcnPath = path; });
  if (itemCount) *itemCount = reply.value("items", 0);
  if (resultCode) *resultCode = kNvOk;
  return 1;
}

unsigned char QLIB_NV_WriteNVsToMobile(HANDLE handle, int* resultCode) {
  auto connection = findConnection(handle);
  if (!connection || connection->pendingQcnPath.empty()) {
    if (resultCode) *resultCode = kNvFileError;
    return 0;
  }
  return restore(handle, connection->pendingQcnPath, "", resultCode) ? 1 : 0;
}

unsigned char QLIB_DownloadQcnFile(HANDLE handle, const char* qcnPath, const char*) {
  return backup(handle, qcnPath, nullptr) ? 1 : 0;
}

unsigned char QLIB_DownloadQcnFile_V2(HANDLE handle, const char* xqcnPath, const char*) {
  return backup(handle, xqcnPath, nullptr) ? 1 : 0;
}

unsigned char QLIB_UploadQcnFile(HANDLE handle, const char* qcnPath, const char* spc,
                                 unsigned char restartAfter, unsigned char, unsigned char,
                                 unsigned char) {
  return upload(handle, qcnPath, spc, restartAfter);
}

unsigned char QLIB_UploadQcnFile_V2(HANDLE handle, const char* xqcnPath, const char* spc,
                                    unsigned char restartAfter) {
  return upload(handle, xqcnPath, spc, restartAfter);
}

unsigned char QLIB_NV_LoadNVDefinitionFile(HANDLE handle, const char* path) {
  return findConnection(handle) && path && std::ifstream(path).good() ? 1 : 0;
}

unsigned char QLIB_NV_ClearNVValues(HANDLE handle) {
  return findConnection(handle) ? 1 : 0;
}

unsigned char QLIB_DownloadCEFS_File(HANDLE handle, const char* path) {
  if (!isDiag(handle) || !path || !*path) return 0;
  bool ok = false;
  onLibraryThread([&] {
    nlohmann::json reply;
    ok = askOn(handle, "cefs-backup", reply, {{"path", path}});
    if (ok) paceTransfer(reply.value("size", uint64_t{0}));
  });
  return ok ? 1 : 0;
}

}  // extern "C"
