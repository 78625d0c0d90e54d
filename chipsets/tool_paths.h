#pragma once
// Path helpers of the Sahara and Firehose tool runner: splitting a path into its folder and
// file name, and looking a file up by its exact name in a folder.

#include <string>

// Splits `path` at its last "/": `name` receives the last component, `directory` the part
// before it without the separator ("." for a bare name, empty for a name in "/"). Returns 1, or 0
// when an output is null or the path is empty.
int SegmentationPath(const std::string& path, std::string* directory, std::string* name);

// `pattern` is a folder followed by "/*". Returns 0 when that folder holds an entry whose name
// equals `name` exactly (case counts), a non-zero value otherwise.
int IsFileExist(const std::string& pattern, const std::string& name);
