#pragma once
// How the UI thread and the worker thread share the DUT slot record.
//
// - The state, the port numbers, the presence flags, `atBusy`, `threadId`, `slot` and
//   `portKind` are single values that both threads read and write one at a time: they go
//   through loadField and storeField (slot_record.h), so a worker's write is never half-seen by
//   the dispatcher and a procedure polling a port never races the scan that sets it.
// - The port set is also changed only under datalock (port scans), so a worker copying it under
//   datalock sees one consistent set; `imei` and `meid` are written and copied under datalock.
// - `devicePath` is written under threadDataLock (fastboot scan, workers clearing it).

#include <cstdint>

#include "platform/slot_record.h"
#include "station/run_records.h"

inline SlotState slotState(ThreadData& slot) {
  return static_cast<SlotState>(loadField(slot.state));
}

inline void setSlotState(ThreadData& slot, SlotState state) {
  storeField<uint8_t>(slot.state, state);
  noteSlotState(static_cast<int>(&slot - gThreadData) + 1, state);
}

// Port kinds of a dispatch: the diagnostic port, QDLoader 9008, QDLoader 9009 / Diagnostics 900E.
inline constexpr int kDiagnosticPort = 0;
inline constexpr int kPort9008 = 1;
inline constexpr int kPort9009 = 2;

// The slot's port of `kind`: ql9009port for kind 2, ql9008port for kind 1, diaport otherwise.
inline int32_t& portOfKind(ThreadData& slot, int kind) {
  if (kind == kPort9009) return slot.ql9009port;
  if (kind == kPort9008) return slot.ql9008port;
  return slot.diaport;
}

// The index of `slot` in gThreadData.
inline int slotIndex(const ThreadData& slot) {
  return static_cast<int>(&slot - gThreadData);
}
