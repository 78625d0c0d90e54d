#pragma once
// The station's side of the run records: recording started and stopped with the station as
// cfg.ini's [Record] section says, and the few points of the station that tell the records
// what happens to a DUT's run (reports, slot states, workers, stops, firmware loads).

#include <string>

#include "host/file_table.h"
#include "platform/slot_record.h"

struct StationConfig;

// Starts recording (unless [Record] Database is "off") and routes the DUT reports to it.
void startRunRecords(const StationConfig& config);
// Records the runs still going as not finished and stops recording.
void stopRunRecords();

// The slot of DUT `dut` moved to `state`.
void noteSlotState(int dut, SlotState state);
// A worker was scheduled for DUT `dut`.
void noteWorkerScheduled(int dut);
// The operator's Stop ended DUT `dut`'s run.
void noteSlotStopped(int dut);
// A firmware load filled `table` (row 1 the folder, the rest its images).
void noteFirmwareLoaded(const host::FileTable& table);
