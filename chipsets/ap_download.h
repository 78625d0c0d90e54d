#pragma once
// The AP download the fastboot platforms share: the firmware's queue runs on the request's
// fastboot device, its progress going on from where the CP download left it.

#include <cstdint>

#include "platform/platform.h"

// Runs the queue and logs the outcome: `waitingText` when it succeeded with backup/restore on
// (a QCN restore follows), else "AP Download Success." or "AP Download Failed.". Returns the
// queue's result.
int runApDownload(const DownloadRequest& request, uint64_t total, double startProgress,
                  const char* waitingText);

// ---- Platforms whose firmware has nothing to write over fastboot ----

// Empties the queue at a firmware load, so that no other platform's images stay queued for
// these modules. Refused while an AP download runs the queue: an "Error" box says so and the
// result is false.
bool emptyApQueue();
// Their AP download: with nothing queued it fails at once ("AP Download Failed."), never
// passing for a download; otherwise as runApDownload.
int runQueuedApDownload(const DownloadRequest& request, uint64_t total, double startProgress,
                        const char* waitingText);
