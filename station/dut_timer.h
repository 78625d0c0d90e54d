#pragma once
// The per-DUT elapsed-time counter: a timer on the UI loop that adds one to the DUT's
// elapsed-time text on every tick. Workers start, stop and reset it from their own thread.

#include <string>

// Interval of the elapsed-time ticks, in real milliseconds (the text counts seconds).
inline constexpr int kDutTimerIntervalMs = 1000;

// One tick of DUT `dut`'s timer: its elapsed-time text, read as an integer, plus one.
void timerCB(int dut);

// A tick of run `run` of the DUT's timer (each start begins a new run). The loop may already
// have taken a tick when a worker stops the timer; such a tick, or one of an earlier run, shows
// nothing, so the time stands still from the moment the timer is stopped.
void dutTimerTick(int dut, unsigned run);
// The run the DUT's timer is in (or last was in).
unsigned dutTimerRun(int dut);

void startDutTimer(int dut);
void stopDutTimer(int dut);
void setDutTimeText(int dut, const std::string& text);
std::string dutTimeText(int dut);

// Stops every DUT timer and forgets the texts (shutdown, tests).
void resetDutTimers();
