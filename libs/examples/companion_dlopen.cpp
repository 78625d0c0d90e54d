// Using several companion libraries in one program.
//
// Every companion library exports a factory named CreateObject with C linkage. Linked into one
// program, the dynamic linker would bind every call to the first of them, so a program that uses
// more than one loads each with dlopen (RTLD_LOCAL keeps their symbols apart) and takes that
// library's own CreateObject with dlsym. The headers are still included for the identifiers
// and interfaces; nothing is linked.
//
//   companion_dlopen [FOLDER]
//
// loads libwexley.so.1, libnelvish.so.1 and libtobrin.so.1 from FOLDER (by default wherever the
// dynamic loader finds them), uses each one and releases what it made. Exits 0 when all three
// were loaded and worked.

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "zendral/com.h"
#include "zendral/nelvish.h"
#include "zendral/tobrin.h"
#include "zendral/wexley.h"

namespace {

using CreateObjectFunction = bool (*)(const GUID& clsid, const GUID& iid, void** out);

// Asks the library's factory for an object and returns it as the interface `Interface`.
template <typename Interface>
Interface* create(CreateObjectFunction createObject, const GUID& clsid, const GUID& iid) {
  void* object = nullptr;
  if (!createObject(clsid, iid, &object)) return nullptr;
  return static_cast<Interface*>(object);
}

bool useWexley(CreateObjectFunction createObject, const std::string& folder) {
  auto* ini = create<IWexley>(createObject, CLSID_Wexley, IID_IWexley);
  if (ini == nullptr) return false;
  ini->SetFilePath(folder + "/line.ini");
  bool ok = ini->WriteValue("Line", "Station", "A3") && ini->GetValue("line", "station") == "A3";
  ini->Release();
  return ok;
}

bool useNelvish(CreateObjectFunction createObject, const std::string& folder) {
  auto* xml = create<INelvish>(createObject, CLSID_Nelvish, IID_INelvish);
  if (xml == nullptr) return false;
  std::string path = folder + "/line.xml";
  if (FILE* file = std::fopen(path.c_str(), "w")) {
    std::fputs("<line station=\"A3\"/>\n", file);
    std::fclose(file);
  }
  bool ok = xml->LoadFile(path) == 0;
  xml->Release();
  return ok;
}

bool useTobrin(CreateObjectFunction createObject, const std::string& folder) {
  auto* db = create<ITobrin>(createObject, CLSID_Tobrin, IID_ITobrin);
  if (db == nullptr) return false;
  db->SetFilePath(folder + "/line.db");
  bool ok = false;
  try {
    std::vector<std::string> tables;
    ok = db->CreateDatabase() && db->Open("Driver=SQLite3;Database=" + db->GetFilePath()) &&
         db->ExecuteStatement("CREATE TABLE runs (imei TEXT)") == 0 &&
         db->ListTables(tables) == 0 && tables == std::vector<std::string>{"runs"};
  } catch (const std::exception& error) {
    std::printf("tobrin: %s\n", error.what());
  }
  db->Close();
  db->Release();
  return ok;
}

struct Companion {
  const char* name;
  const char* fileName;
  bool (*use)(CreateObjectFunction createObject, const std::string& folder);
};

const Companion kCompanions[] = {
    {"wexley", "libwexley.so.1", useWexley},
    {"nelvish", "libnelvish.so.1", useNelvish},
    {"tobrin", "libtobrin.so.1", useTobrin},
};

// Loads one library, uses it and unloads it. Returns 1 when it worked, 0 when it is not there,
// -1 when it failed.
int tryCompanion(const Companion& companion, const std::string& libraryFolder,
                 const std::string& workFolder) {
  std::string file =
      libraryFolder.empty() ? companion.fileName : libraryFolder + "/" + companion.fileName;
  void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::printf("%s: not loaded (%s)\n", companion.name, ::dlerror());
    return 0;
  }
  auto createObject = reinterpret_cast<CreateObjectFunction>(::dlsym(library, "CreateObject"));
  bool ok = createObject != nullptr && companion.use(createObject, workFolder);
  std::printf("%s: %s\n", companion.name, ok ? "ok" : "FAILED");
  ::dlclose(library);
  return ok ? 1 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string libraryFolder = argc > 1 ? argv[1] : "";
  std::string pattern = (std::filesystem::temp_directory_path() / "companions-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  size_t loaded = 0;
  bool failed = false;
  for (const Companion& companion : kCompanions) {
    int result = tryCompanion(companion, libraryFolder, pattern);
    loaded += result != 0 ? 1 : 0;
    failed = failed || result < 0;
  }
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return loaded == std::size(kCompanions) && !failed ? 0 : 1;
}
