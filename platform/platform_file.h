#pragma once
// A platform's own INI file ("Platform/<name>.ini"), as each file-list loader reads it.

#include "ini/inifile.h"

// Reads the platform file at `path` into `doc`. A file that does not exist yet (a fresh station)
// reads as one with empty settings: `doc` stays empty, the result is 0, and the platform's save
// creates the file. Any other failure gives Ini_ReadFromFile's negative result.
int readPlatformIniFile(IniDocument* doc, const char* path);
