#pragma once
// The slot dispatcher: port discovery hands it every module port it finds, and it decides from
// the slot's state what comes next: a new run, the next stage of a run, or the run's result.

// `kind`: 0 diagnostic port, 1 QDLoader 9008 (or another "QDLoader" port), 2 QDLoader 9009 /
// Diagnostics 900E. Runs under threadDataLock; the port scans call it with datalock held.
void OnPortArrived(int com, int kind);

// The same for a port of the module that slot `index` (0-based) follows: only that slot is
// looked at. Port discovery uses it when the station runs several slots.
void OnPortArrivedInSlot(int index, int com, int kind);
