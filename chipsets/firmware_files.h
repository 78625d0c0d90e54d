#pragma once
// Small questions the file lists ask about firmware files: whether a path is a file or a
// folder, a file's size, and where the station keeps its own images (its working folder).

#include <cstdint>
#include <string>

bool isFirmwareFile(const std::string& path);
bool isFirmwareFolder(const std::string& path);
// The size of the file, 0 when it cannot be read.
uint64_t firmwareFileSize(const std::string& path);
// `name` in the station's working folder.
std::string stationImage(const char* name);
