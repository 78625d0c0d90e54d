#pragma once
// What every fuzz target shares: a private working folder with the station's waits scaled to
// nothing, DUT logs that go nowhere, no real devices and a process killer that ends nothing,
// and a reader that cuts the fuzzer's bytes into records.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {
class ScriptedDeviceDirectory;
}

namespace fuzz {

// Makes a fresh folder under the system's temporary folder the working folder, scales every
// wait of the station to 0, points Dut1.log..Dut8.log at /dev/null, and installs an empty
// device directory and a recording process killer. Called once from LLVMFuzzerInitialize.
void prepareProcess(const char* targetName);

// The device directory prepareProcess installed; targets add the ports they serve.
host::ScriptedDeviceDirectory& devices();

// The working folder prepareProcess made.
const std::string& workFolder();

// The input's records: the bytes between separators (0x1E, the ASCII record separator), at
// most `limit` of them.
std::vector<std::string_view> records(const uint8_t* data, size_t size, size_t limit);

inline constexpr char kRecordSeparator = '\x1e';

// Creates `path` (and its parent folders) holding `contents`. False when it cannot.
bool writeFile(const std::string& path, std::string_view contents);

// Removes everything inside `folder` and makes sure it exists, empty.
void emptyFolder(const std::string& folder);

// Stops the fuzzer with a report when a property the target checks does not hold.
[[noreturn]] void fail(const char* what);

}  // namespace fuzz
