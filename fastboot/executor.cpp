#include "fastboot/executor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "fastboot/action_queue.h"
#include "fastboot/protocol.h"
#include "host/clock.h"
#include "host/report.h"

namespace fastboot {

std::shared_mutex& queueUseLock() {
  static std::shared_mutex lock;
  return lock;
}

}  // namespace fastboot

namespace {

int callHandler(fb_action* action, int status, const char* text) {
  fb_action_handler handler = action->handler ? action->handler : action_done_default;
  return handler(action, status, text);
}

// Runs one step that talks to the device; returns the handler's result.
int runStep(int dut, fb_transport* transport, fb_action* action) {
  int status = 0;
  switch (action->kind) {
    case OP_DOWNLOAD:
      status = fb_download_data(transport, action->data, action->size);
      return callHandler(action, status, status ? fb_get_error() : "");
    case OP_COMMAND:
      status = fb_command(transport, action->command);
      return callHandler(action, status, status ? fb_get_error() : "");
    case OP_QUERY: {
      char reply[kFastbootResponseSize];
      status = fb_command_response(transport, action->command, reply);
      updateMesage(dut, reply);
      int result = callHandler(action, status, status ? fb_get_error() : reply);
      updateMesage(dut, reply);
      return result;
    }
    default:
      die("bogus action");
  }
}

// Runs the queue; the caller holds the queue's use lock. The DUTs of several slots run the one
// queue at the same time, so each step runs on a copy of its own: what a handler records of
// the run (when the step began) stays with this DUT, and the queue stays unchanged.
int executeQueue(int dut, fb_transport* transport, uint64_t total, double start) {
  double progress = start;
  int result = -1;
  for (const fb_action* queued = fb_queue_head(); queued; queued = queued->next) {
    fb_action step = *queued;
    fb_action* action = &step;
    action->start = fb_now();
    if (action->message) updateMesage(dut, action->message);
    if (action->kind == OP_NOTICE) {
      updateMesage(dut, static_cast<const char*>(action->data));
    } else {
      int handled = runStep(dut, transport, action);
      // Without a total there is nothing to measure against; the bar fills at the end.
      if (action->kind == OP_DOWNLOAD && total > 0) {
        progress += static_cast<double>(action->size) / static_cast<double>(total);
      }
      if (handled) {
        result = handled;
        break;
      }
      result = 0;
    }
    progress = std::min(progress, 1.0);
    updateProgressBar(dut, progress);
  }
  updateProgressBar(dut, 1.0);
  return result;
}

}  // namespace

int fb_execute_queue(int dut, fb_transport* transport, uint64_t total, double start) {
  std::shared_lock inUse(fastboot::queueUseLock());
  return executeQueue(dut, transport, total, start);
}

namespace {

// Opens the DUT's fastboot device, retrying until it appears, the open limit passes or the
// station is stopped. A device the station may not open ends the wait at once: retrying cannot
// help, the udev rules are missing. A device claimed by another program is waited for.
fb_transport* openForFlash(int dut, const std::string& path) {
  const uint64_t deadline =
      host::tickMs() + static_cast<uint64_t>(host::scaledMs(kFlashAllOpenLimitSeconds * 1000));
  bool busyReported = false;
  for (;;) {
    if (fb_transport* transport = usb_open_by_name(path, match_fastboot)) return transport;
    const int error = usb_last_error();
    if (error == EACCES || error == EPERM) {
      updateMesage(dut, usb_permission_text(path).c_str());
      return nullptr;
    }
    if (error == EBUSY && !busyReported) {
      busyReported = true;
      updateMesage(dut, ("Fastboot device " + path + " is claimed by another program.").c_str());
    }
    if (host::stopRequested() || host::tickMs() >= deadline) {
      char text[128];
      std::snprintf(text, sizeof text, "Fastboot device not found,Please repower %d DUT.", dut);
      updateMesage(dut, text);
      return nullptr;
    }
    host::Delay(0.001);
  }
}

}  // namespace

int flash_all(int dut, const std::string& path, uint64_t total, double start) {
  // The queue this DUT waits for stays as it is until the DUT is done.
  std::shared_lock inUse(fastboot::queueUseLock());
  fb_transport* transport = openForFlash(dut, path);
  if (!transport) return -1;
  int result = executeQueue(dut, transport, total, start);
  usb_close(transport);
  return result;
}
