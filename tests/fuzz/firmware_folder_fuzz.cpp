// The firmware folder scans: the folder is made from the fuzzer's records ("relative/path",
// a line end, then the file's bytes; a path that would leave the folder is skipped), then the
// station finds its platform by the programmer files, and every platform's file list is saved
// with that folder and loaded from it, as when the operator picks the folder for each platform.
// The diagnostic library is not bound: its binding is not what is read here.

#include <string>

#include "chipsets/chipset_services.h"
#include "chipsets/platform_rows.h"
#include "fuzz_support.h"
#include "host/file_table.h"
#include "platform/platform.h"
#include "station/file_panel.h"

namespace {

bool staysInside(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos) {
    return false;
  }
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (path.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

void makeFolder(const std::string& folder, const uint8_t* data, size_t size) {
  fuzz::emptyFolder(folder);
  for (std::string_view record : fuzz::records(data, size, 32)) {
    const size_t lineEnd = record.find('\n');
    const std::string_view path = record.substr(0, lineEnd);
    if (!staysInside(path)) continue;
    const std::string_view bytes =
        lineEnd == std::string_view::npos ? std::string_view() : record.substr(lineEnd + 1);
    fuzz::writeFile(folder + "/" + std::string(path), bytes);
  }
}

int libraryBound(int) {
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("firmware_folder");
  installPlatformRows(chipsetPlatformRow);
  chipsetServices().loadLibrary = libraryBound;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = fuzz::workFolder() + "/fw";
  makeFolder(folder, data, size);
  AutoGetCurPlatform(folder);
  for (PlatformType type = 0; type < kPlatformTypeCount; ++type) {
    platform_dispose();
    PlatformOps* ops = platfrom_create_instance(type);
    if (!ops) continue;
    host::FileTable table;
    table.setPath(1, folder);
    ops->save(table);
    ops->autoLoad(table, folder.c_str());
  }
  platform_dispose();
  return 0;
}
