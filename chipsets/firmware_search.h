#pragma once
// Finding a firmware file by a name pattern ("*firehose*.*", "rawprogram*.xml"), as the file
// lists do when a setting names no file. Patterns use "*" and "?" and ignore case, as the
// operators' firmware folders were named for; of several matches the first by name is taken,
// so that a folder always gives the same answer.

#include <string>

// The name of the first regular file in `folder` matching `pattern`, or empty text.
std::string firstFileMatching(const std::string& folder, const std::string& pattern);

// Whether `path` lies in `folder` or below it (letters compared without case, whole path
// components only: "/fw2/x" does not lie in "/fw").
bool liesInFolder(const std::string& path, const std::string& folder);
