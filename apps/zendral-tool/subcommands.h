#pragma once
// The subcommands of zendral-tool; each takes the arguments after its own name and returns
// the program's exit status.

int runIniCommand(int argc, char** argv);
int runFastbootCommand(int argc, char** argv);
int runRecordsCommand(int argc, char** argv);
