#pragma once
// The command lines of the Sahara and Firehose tools. Each tool is started directly with an
// argument list, so no text of a path can run as a command; the line an operator would type
// for the same run is kept beside it for the DUT's log.

#include <string>
#include <vector>

struct ToolCommand {
  std::vector<std::string> argv;  // argv[0] is the tool's file name, or its path
  std::string text;               // the typed form, without its line end
};

// QSaharaServer.exe -u PORT -s 13:"PROGRAMMER" (13 is the programmer's Sahara image id).
ToolCommand saharaCommand(int com, const std::string& programmer);

// fh_loader.exe sending the rawprogram and patch files (names, found in `searchPath`) to the
// module's emergency port; with `reset` the module restarts at the end.
ToolCommand firehoseCommand(int com, const std::string& rawprogramName,
                            const std::string& patchName, const std::string& searchPath,
                            bool reset);

// The folder the tools are started from. Empty (the default): the station's helper folders
// (beside its executable, then <prefix>/lib/zendral), else by the system's search. Tests name a
// folder of stand-in tools.
std::string& toolFolder();
