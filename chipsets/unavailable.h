#pragma once
// What a platform procedure that is not part of this build does: it says so and fails, so that
// nothing pretends to work (a failed load dims Start).

#include "platform/platform.h"

// Shows an "Error" box naming the platform; returns -1.
int failUnavailableLoad(const char* platform);
// Explains on standard error that the list cannot be saved; returns -1.
int failUnavailableSave(const char* platform);
// Puts the explanation into the DUT's message line and log; returns -1.
int failUnavailableStep(const char* platform, const char* step, const DownloadRequest& request);
