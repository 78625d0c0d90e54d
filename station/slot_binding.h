#pragma once
// Which physical USB port each DUT slot follows when the station runs several slots. A module
// shows itself as different devices as it changes mode (diagnostic and AT ports, a download
// port, an emergency download port, a fastboot device), each with new COM numbers or paths, but
// always on the same USB port: its port path ("<bus>-<port path>") keeps it in its slot.
//
// A slot may be pinned to a port path in cfg.ini; otherwise a module takes the lowest free slot
// when its first device arrives, and keeps it until it is unplugged while its slot is idle. A
// module pulled out in the middle of its run leaves its slot bound to the port (the next module
// there continues in that slot); such a slot is given to a module on another port only when
// no slot is free.
// With one slot nothing is bound: every module port is DUT 1's.
//
// The table has its own lock; callers may hold datalock and threadDataLock.

#include <string>
#include <vector>

// Starts the table for `count` slots: slot n (0-based) pinned to pinned[n] when that text is
// not empty. A path pinned twice counts for its first slot only. Everything else is free.
void configureSlotBindings(int count, const std::vector<std::string>& pinned);

// The slot (0-based) that follows `portPath`: its pinned or bound slot, else the lowest free
// slot, which is bound to it now. -1 when the path is empty or every slot is taken.
int slotForPortPath(const std::string& portPath);

// The port path slot `index` follows now; empty when it follows none.
std::string slotPortPath(int index);

// Whether a module is on slot `index`'s port now, as port discovery last saw it; the setter
// returns what it was before.
bool slotOccupied(int index);
bool setSlotOccupied(int index, bool occupied);

// Frees slot `index` when it is bound without a pin (a pinned slot keeps its path). Either
// way the slot no longer holds a module.
void releaseSlot(int index);

// Forgets every binding and pin (shutdown, tests).
void resetSlotBindings();
