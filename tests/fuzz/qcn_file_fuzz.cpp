// The QCN file checks: whether a name (an IMEI or a file the operator chose) stays inside the
// backup folder, the path made from it, the size check against the limits, and moving an
// existing backup aside. A name the check accepts must give a path directly inside the folder,
// and moving a file aside must keep its bytes.
//
// Records: name, then the file's bytes, then the low and high limits in KiB as decimal text.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "platform/platform_settings.h"
#include "platform/qcn_file.h"

namespace {

namespace fs = std::filesystem;

int limitOf(std::string_view text, int fallback) {
  const std::string digits(text.substr(0, 9));
  char* end = nullptr;
  const long value = std::strtol(digits.c_str(), &end, 10);
  return end == digits.c_str() ? fallback : static_cast<int>(value);
}

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("qcn_file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = fuzz::records(data, size, 4);
  const std::string name(parts[0]);
  const std::string contents(parts.size() > 1 ? parts[1] : std::string_view());
  qcnFileLowLimit = limitOf(parts.size() > 2 ? parts[2] : "", 1);
  qcnFileHighLimit = limitOf(parts.size() > 3 ? parts[3] : "", 4096);

  const std::string folder = fuzz::workFolder() + "/qcn";
  fuzz::emptyFolder(folder);
  qcnFilePath = folder;
  const bool plain = isPlainQcnName(name);
  for (int op : {kBackupQcn, kBackupXqcn, kRestoreQcn, kRestoreXqcn}) {
    const std::string path = qcnFilePathFor(name, op);
    if (!plain) continue;
    if (fs::path(path).parent_path() != fs::path(folder)) {
      fuzz::fail("an accepted name leads outside the backup folder");
    }
    if (!isQcnBackup(op)) continue;
    if (!fuzz::writeFile(path, contents)) continue;  // e.g. a name too long for the file system
    const auto fileSize = qcnFileSize(path);
    if (!fileSize || *fileSize != contents.size()) fuzz::fail("the size of a backup is wrong");
    qcnSizePlausible(*fileSize);
    const std::string aside = moveQcnAside(path);
    if (!aside.empty() && fileBytes(aside) != contents) fuzz::fail("a moved backup changed");
  }
  return 0;
}
