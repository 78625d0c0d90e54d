#pragma once
// The station's own state, kept for the life of the process: whether it listens for modules,
// the platform chosen by menu and by folder, the open cfg.ini, the firmware table of the file
// panel and the worker pool.

#include <atomic>
#include <string>

#include "host/file_table.h"
#include "host/worker_pool.h"
#include "ini/inifile.h"
#include "platform/platform.h"

// The station's configuration file, in the working directory.
inline constexpr char kCfgIniFile[] = "cfg.ini";

// 1 between Start and Stop. Atomic: when no UI loop is bound (the emulated-machine tests) the
// device-change handler reads it on the directory's own thread.
extern std::atomic<unsigned char> listening;
// The platform type last chosen in the menu (or at start-up), and the one last found by
// probing a firmware folder.
extern PlatformType em;
extern PlatformType g_em;
// cfg.ini, open from start-up to shutdown; null outside that time.
extern IniDocument* gCfgIni;
// On Qca9x07, show the backup/restore and QCN-only boxes even when their options are off.
extern bool gBackCtrlVisble;
// The document the help item opens.
extern std::string sHelpFile;
// The file panel's firmware table.
extern host::FileTable gFileTable;
// The one-thread pool every worker runs on; exists from start-up to shutdown.
extern host::WorkerPool* gThreadPool;

// Puts all of the above (and the station options) back to their state before start-up.
void resetStationState();

// Writes cfg.ini from the open document (after an option or the platform changed). Write
// failures are not reported to the operator.
void writeCfgIni();
