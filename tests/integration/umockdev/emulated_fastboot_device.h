#pragma once
// A module in fastboot mode behind an emulated usbfs node: it answers the usbdevfs ioctls a USB
// library issues (capabilities, claim and release, alternate setting, clear halt, URB submit,
// reap and discard), runs the fastboot loader on its bulk endpoints and the standard string
// requests on endpoint 0. Faults are scripted: a command left unanswered, data never taken, a
// stalled reply, a device that vanishes in the middle of a download.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace umocktest {

class EmulatedFastbootDevice {
 public:
  explicit EmulatedFastbootDevice(std::string serial, uint16_t maxPacket = 512);
  ~EmulatedFastbootDevice();
  EmulatedFastbootDevice(const EmulatedFastbootDevice&) = delete;
  EmulatedFastbootDevice& operator=(const EmulatedFastbootDevice&) = delete;

  // The handler to attach to the device's usbfs node.
  UMockdevIoctlBase* handler() const { return handler_; }

  // ---- What the loader answers ----
  void setVariable(const std::string& name, const std::string& value);
  // Commands starting with this text get no reply at all.
  void ignoreCommands(const std::string& prefix);
  // The data phase of a download takes no bytes (its transfers never complete).
  void refuseData();
  // The next reply halts the IN endpoint instead; it stays halted until cleared.
  void stallNextReply();
  // After this many bytes of download data the device is gone: transfers in flight end as on
  // a disconnect, and every later request fails with ENODEV.
  void vanishAfterDataBytes(size_t bytes);
  // The device is gone now, with whatever transfers are in flight.
  void vanishNow();

  // ---- What the host did ----
  std::vector<std::string> commands();
  std::map<std::string, std::string> partitions();
  std::vector<size_t> dataTransferSizes();  // the OUT transfers of data phases, in order
  std::vector<unsigned> clearedHalts();
  int claimedInterface();           // -1 when none is claimed
  int alternateSetting();           // the last one selected, -1 when never
  bool serialReadWhileUnclaimed();  // a string request came while no interface was claimed
  int inTransfersWaiting();         // IN transfers submitted and not yet answered

 private:
  struct Urb {
    UMockdevIoctlData* data;  // the client's usbdevfs_urb, with its buffer resolved
    const void* client;       // the open handle that submitted it, the only one to reap it
  };

  static int onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
  static void onClientGone(UMockdevIoctlBase* base, UMockdevIoctlClient* client, void* self);
  long handle(const void* client, unsigned long request, UMockdevIoctlData* arg, int& error);
  long claim(const void* client, unsigned number, int& error);
  long submit(const void* client, UMockdevIoctlData* arg, int& error);
  long reap(const void* client, UMockdevIoctlData* arg, int& error);
  long discard(const void* client, UMockdevIoctlData* arg, int& error);
  void control(Urb urb);
  void bulkOut(Urb urb);
  void bulkIn(Urb urb);
  void command(const std::string& text);
  void answerWaitingReads();
  void complete(Urb urb, int status, int actualLength);
  void vanish();

  UMockdevIoctlBase* handler_ = nullptr;
  std::mutex mutex_;
  const std::string serial_;
  const uint16_t maxPacket_;

  std::map<std::string, std::string> variables_;
  std::vector<std::string> ignoredPrefixes_;
  bool refuseData_ = false;
  bool stallNext_ = false;
  size_t vanishAfter_ = SIZE_MAX;

  std::deque<std::string> replies_;
  std::deque<Urb> waitingIn_;
  std::deque<Urb> waitingOut_;  // data refused: never completed unless discarded
  std::deque<Urb> completed_;
  std::set<unsigned> halted_;
  bool gone_ = false;
  size_t dataLeft_ = 0;  // bytes still due in the data phase
  size_t dataSeen_ = 0;
  std::string download_;

  std::vector<std::string> commands_;
  std::map<std::string, std::string> partitions_;
  std::vector<size_t> dataSizes_;
  std::vector<unsigned> clearedHalts_;
  int claimed_ = -1;
  const void* claimant_ = nullptr;  // the open handle holding the claim
  int alternate_ = -1;
  bool serialUnclaimed_ = false;
};

}  // namespace umocktest
