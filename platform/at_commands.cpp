#include "platform/at_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/clock.h"
#include "host/report.h"
#include "host/serial_port.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/slot_record.h"
#include "platform/text_format.h"

namespace {

// Fixed settings of the AT port.
constexpr long kBaudRate = 115200;
constexpr int kQueueSize = 512;
constexpr double kTimeoutSeconds = 2.0;
constexpr int kAttempts = 3;
// One read takes at most this many bytes of reply.
constexpr int kReplySize = 256;
// The version texts hold at most this many characters.
constexpr size_t kVersionTextLimit = 259;

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Reads one reply. A read may fill all 256 bytes, so the buffer has room for a terminator
// beyond them; the reply is text and ends at its first NUL byte.
std::string readReply(int port) {
  char buffer[kReplySize + 1] = {};
  const int got = ComRd(port, buffer, kReplySize);
  buffer[std::clamp(got, 0, kReplySize)] = '\0';
  return std::string(buffer);
}

// One attempt of an exchange on an open port: prepare the port, send, read the reply into
// `replyText`. False when the command could not be written whole.
bool sendOnce(int port, int dut, const char* command, std::string& replyText) {
  SetCTSMode(port, 0);
  FlushOutQ(port);
  FlushInQ(port);
  SetComTime(port, kTimeoutSeconds);
  host::Delay(2.0);
  updateMesage(dut, formatText("Send:%s!", command));
  const int length = static_cast<int>(std::strlen(command));
  if (ComWrt(port, command, length) < length) {
    updateMesage(dut, formatText("send: %s failed!", command));
    return false;
  }
  replyText = readReply(port);
  return true;
}

void cutAtCarriageReturn(std::string& text) {
  const size_t end = text.find('\r');
  if (end != std::string::npos) text.resize(end);
}

void storeVersion(std::string text) {
  if (text.size() > kVersionTextLimit) text.resize(kVersionTextLimit);
  sSrcVersionType = std::move(text);
}

// Copies `text` into a fixed text field of the request, cut to fit.
template <size_t N>
void storeField(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

// A field of the reply: the `length` characters after `prefix` (fewer when the reply ends).
bool fieldAfter(const std::string& reply, const char* prefix, size_t length, std::string& out) {
  const size_t at = reply.find(prefix);
  if (at == std::string::npos) return false;
  out = reply.substr(at + std::strlen(prefix), length);
  return true;
}

}  // namespace

int SetAtCmd(const DownloadRequest& request, const char* command, std::string* reply) {
  const int port = request.atport;
  const int dut = request.slot;
  if (reply) reply->clear();
  // The port may still be open from elsewhere; every exchange starts from a fresh open.
  CloseCom(port);
  if (!host::Delay(2.0)) return 0;
  if (OpenComConfig(port, nullptr, kBaudRate, host::kParityNone, 8, 1, kQueueSize, kQueueSize) !=
      0) {
    updateMesage(dut, formatText("AT COM%d open failed, Please repower %d 号DUT.", port, dut));
    return 0;
  }
  updateMesage(dut, formatText("AT COM%d open success.", port));
  for (int attempt = 0; attempt < kAttempts && !host::stopRequested(); ++attempt) {
    std::string replyText;
    if (!sendOnce(port, dut, command, replyText)) continue;
    if (reply) {
      updateMesage(dut, formatText("recv: %s", replyText.c_str()));
      *reply = replyText;
    }
    if (contains(replyText, "OK")) {
      updateMesage(dut, formatText("send %s success.", command));
      CloseCom(port);
      return 1;
    }
  }
  CloseCom(port);
  return 0;
}

int CheckCFUN(const DownloadRequest& request) {
  const int dut = request.slot;
  updateMesage(dut, "Check if AT+CFUN is 1");
  if (request.atport == 0) {
    updateMesage(dut, "AT COM port not found.");
    updateStatus(dut, -1);
    return -1;
  }
  host::Delay(2.0);
  std::string reply;
  if (SetAtCmd(request, "AT+CFUN?\r", &reply) && contains(reply, checkCFUNStr.c_str())) return 0;
  updateMesage(dut, "+CFUN: is not 1");
  updateStatus(dut, -1);
  return -1;
}

int readIMEI(const DownloadRequest& request, std::string& out) {
  const int dut = request.slot;
  updateMesage(dut, "waiting read imei...");
  CloseCom(request.atport);
  host::Delay(4.0);
  std::string reply;
  if (SetAtCmd(request, "AT+SIMEI?\r", &reply) && fieldAfter(reply, "+SIMEI: ", 15, out)) {
    return 1;
  }
  updateMesage(dut, "Read IMEI failed");
  return 0;
}

int readMEID(const DownloadRequest& request, std::string& out) {
  const int dut = request.slot;
  updateMesage(dut, "waiting read meid...");
  host::Delay(2.0);
  std::string reply;
  if (!SetAtCmd(request, "AT+SMEID?\r", &reply)) return 0;
  if (fieldAfter(reply, "+SMEID: ", 14, out)) return 1;
  updateMesage(dut, "Read MEID failed.");
  return 0;
}

int ReadImeiAndMeid(DownloadRequest& request) {
  const int dut = request.slot;
  std::string imei;
  if (!readIMEI(request, imei)) {
    updateMesage(dut, formatText("read imei failed, Please repower %d DUT.", dut));
    return -1;
  }
  storeField(request.imei, imei);
  if (imei.size() != 15) {
    updateMesage(dut, formatText("imei length is not 15, Please repower %d DUT.", dut));
    return -1;
  }
  SetThreadImei(dut, imei);
  if (!gProcessMeid) return 0;
  std::string meid;
  if (!readMEID(request, meid)) {
    updateMesage(dut, formatText("read meid failed, Please repower %d DUT.", dut));
    return -1;
  }
  storeField(request.meid, meid);
  if (meid.size() != 14) {
    updateMesage(dut, formatText("meid length is not 14, Please repower %d DUT.", dut));
    return -1;
  }
  SetThreadMeid(dut, meid);
  return 0;
}

int writeIMEI(const DownloadRequest& request) {
  const int dut = request.slot;
  updateMesage(dut, "waiting write imei...");
  if (strnlen(request.imei, sizeof request.imei) != 15) {
    updateMesage(dut, "IMEI length not correct!");
    return 0;
  }
  host::Delay(2.0);
  const int result = SetAtCmd(request, formatText("AT+SIMEI=%s\r", request.imei).c_str());
  updateMesage(dut, result ? "Write IMEI success." : "Write IMEI failed!");
  return result;
}

int writeMEID(const DownloadRequest& request) {
  const int dut = request.slot;
  updateMesage(dut, "waiting write meid...");
  if (strnlen(request.meid, sizeof request.meid) != 14) {
    updateMesage(dut, "MEID length not correct!");
    return 0;
  }
  host::Delay(2.0);
  const std::string meid(request.meid, strnlen(request.meid, sizeof request.meid));
  const int result = SetAtCmd(request, formatText("AT+SMEID=%s\r", meid.c_str()).c_str());
  updateMesage(dut, result ? "Write MEID success." : "Write MEID failed!");
  return result;
}

int BackupEfs2(const DownloadRequest& request, PlatformType platformType) {
  const int dut = request.slot;
  updateMesage(dut, "waiting backup efs...");
  host::Delay(2.0);
  const bool efs2 = platformType == kQca9x15 || platformType == kQca9x07;
  const char* command = efs2 ? "AT+CBACKUPEFS2\r" : "AT+BACKUPEFS\r";
  const int result = SetAtCmd(request, command);
  if (result) {
    updateMesage(dut, efs2 ? "Send AT+CBACKUPEFS2 success." : "Send AT+BACKUPEFS success.");
  }
  return result;
}

int CheckEfs2(const DownloadRequest& request) {
  const int dut = request.slot;
  updateMesage(dut, "waiting check efs backup result...");
  host::Delay(5.0);
  std::string reply;
  if (SetAtCmd(request, "AT+BACKUPEFS?\r", &reply) && contains(reply, ",2")) {
    updateMesage(dut, "efs backup success.");
    return 1;
  }
  return 0;
}

int ReadDeviceInfo(const DownloadRequest& request, std::string* flashId) {
  const int dut = request.slot;
  if (flashId) flashId->clear();
  std::string reply;
  if (!SetAtCmd(request, "AT+CDEVICE?\r\n", &reply)) return 0;
  const size_t at = reply.find("Device");
  if (at == std::string::npos) return 0;
  std::string line = reply.substr(at);
  cutAtCarriageReturn(line);
  updateMesage(dut, line);
  const size_t separator = line.find(": ");
  if (separator == std::string::npos) return 0;
  const std::string id = line.substr(separator + 2);
  if (flashId) *flashId = id;
  updateMesage(dut, formatText("FlashId:%s", id.c_str()));
  return 1;
}

int ReadVersionInfo(const DownloadRequest& request, std::string* out) {
  const int dut = request.slot;
  if (out) out->clear();
  std::string reply;
  if (!SetAtCmd(request, "AT+CGMR\r\n", &reply)) return 0;
  const size_t at = reply.find("Halvo");
  if (at == std::string::npos) return 0;
  std::string version = reply.substr(at);
  cutAtCarriageReturn(version);
  storeVersion(version);
  if (sSrcVersionType == sDstVersionType) return 1;
  updateMesage(dut, formatText("%s can't update on %s version", sDstVersionType.c_str(),
                               sSrcVersionType.c_str()));
  return 0;
}

int IfNeedUpdateVersion(const DownloadRequest& request) {
  const int dut = request.slot;
  std::string reply;
  if (!SetAtCmd(request, "AT+ORVANEATI\r\n", &reply)) {
    updateMesage(dut, "Send AT+ORVANEATI failed");
    return 0;
  }
  std::string version;
  if (!fieldAfter(reply, "APRev:", std::string::npos, version)) {
    updateMesage(dut, "Can't find APRev:");
    return 0;
  }
  cutAtCarriageReturn(version);
  // The backup versions are named with "_" where the module reports its first ",".
  const size_t comma = version.find(',', 1);
  if (comma != std::string::npos) version[comma] = '_';
  storeVersion(version);
  if (sSrcVersionType == sDstVersionType) return 1;
  updateMesage(dut, formatText("Module version %s can't use backup version %s .",
                               sSrcVersionType.c_str(), sDstVersionType.c_str()));
  return 0;
}

int WriteNvItem(const DownloadRequest& request) {
  updateMesage(request.slot, "waiting WriteNvItem...");
  host::Delay(5.0);
  std::string reply;
  if (!SetAtCmd(request, "AT+CNVW=3628,0,\"00\"\r", &reply)) return 0;
  return SetAtCmd(request, "AT+CNVW=3629,0,\"00\"\r", &reply);
}

int CheckIf9011(const DownloadRequest& request, int& is9011) {
  const int dut = request.slot;
  updateMesage(dut, "Check if 9011 ...");
  host::Delay(2.0);
  std::string reply;
  if (!SetAtCmd(request, "AT+CUSBPIDSWITCH?\r", &reply)) {
    updateMesage(dut, "Send AT+CUSBPIDSWITCH? failed!");
    return 0;
  }
  updateMesage(dut, "Send AT+CUSBPIDSWITCH? success.");
  is9011 = contains(reply, "9011") ? 1 : 0;
  return 1;
}
