#pragma once
// The record of the DUT slot: the state of its run, its ports, its fastboot device and the
// module's identity. The station's dispatcher and workers own the run; the platform services
// and chipset procedures read the ports and presence flags, and the QCN services store the
// IMEI and MEID they read.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

// Where the slot's run stands. Value 1 is not used.
enum SlotState : uint8_t {
  DUT_IDLE = 0,         // nothing running; a port arrival may start a run
  DUT_CP_DOWNLOAD = 2,  // the CP worker runs
  DUT_WAIT_AP = 3,      // waiting for the fastboot device
  DUT_TO_FASTBOOT = 4,  // the AT switch to fastboot runs
  DUT_AP_DOWNLOAD = 5,  // the AP worker runs
  DUT_WAIT_QCN = 6,     // waiting for the module to return for the QCN restore
  DUT_QCN_RESTORE = 7,  // the TP worker runs
  DUT_WAIT_REBOOT = 8,  // the next diagnostic-port arrival reports the result
  DUT_CHECK_EFS = 9,    // at the next arrival, check the EFS backup
  DUT_BACKUP_EFS = 10,  // at the next arrival, back up EFS or finish the post-download step
};

// One DUT slot, fields in their fixed order.
struct ThreadData {
  uint8_t state;  // a SlotState
  // The slot's port set: COM numbers, 0 = none.
  int32_t diaport;
  int32_t atport;
  int32_t ql9008port;
  int32_t ql9009port;
  char devicePath[260];  // the fastboot device's interface path; empty when none
  uint32_t threadId;     // worker-pool id of the slot's latest worker
  int32_t slot;          // DUT number (1-based) used for every report
  int32_t portKind;      // 0 diagnostic, 1 QDLoader 9008, 2 QDLoader 9009 / Diagnostics 900E
  int32_t present;       // 1 while the diagnostic, 9008 or 9009 port is present
  int32_t present9009;   // 1 while ql9009port is present
  int32_t present9008;   // 1 while ql9008port is present
  char imei[260];        // the module's IMEI, or the base name of a QCN file chosen by hand
  char meid[20];         // the module's MEID
  int32_t atBusy;        // 1 while the AT switch to fastboot runs
};

// The slot table has room for eight DUTs; the station runs the first dutCount() of them (one
// unless cfg.ini asks for more).
inline constexpr int kSlotCount = 8;
extern ThreadData gThreadData[kSlotCount];

// How many slots the station runs (1 to kSlotCount), and the slots themselves.
int dutCount();
// Sets the count, held to 1 ... kSlotCount. Start-up only, while no worker runs.
void setDutCount(int count);
std::span<ThreadData> activeSlots();

// The single values of a slot that the port scans, the dispatcher and the workers share (the
// state, the port numbers, the presence flags, `atBusy`, `threadId`, `slot`, `portKind`) are read
// and written whole through these, so a reader on another thread never sees half a write.
template <class T>
T loadField(const T& field) {
  // A load never writes: the const_cast only satisfies atomic_ref, which wants a mutable object.
  return std::atomic_ref<T>(const_cast<T&>(field)).load();
}

template <class T>
void storeField(T& field, T value) {
  std::atomic_ref<T>(field).store(value);
}

// Puts every slot back to its start-up values: all zero, DUT_IDLE.
void resetSlotRecords();

// Under datalock, copies `text` into the slot's imei / meid when `dut` is one of the station's
// DUTs; other DUT numbers are ignored. Text longer than the field is cut to fit.
void SetThreadImei(int dut, const std::string& text);
void SetThreadMeid(int dut, const std::string& text);

// 1 when a slot has `com` as its diaport, ql9008port or ql9009port and is present, else 0.
// Read without a lock: the procedures poll it while the port scans update the slot.
int bPortPresent(int com);
