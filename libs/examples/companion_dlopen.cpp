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
// dynamic loader finds them), uses each one that is there and releases what it made. Exits 0
// when at least one library was loaded and every loaded one worked.

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "zendral/com.h"
#if __has_include("zendral/wexley.h")
#include "zendral/wexley.h"
#define HAVE_WEXLEY 1
#endif
#if __has_include("zendral/nelvish.h")
#include "zendral/nelvish.h"
#define HAVE_NELVISH 1
#endif
#if __has_include("zendral/tobrin.h")
#include "zendral/tobrin.h"
#define HAVE_TOBRIN 1
#endif

namespace {

using CreateObjectFunction = bool (*)(const GUID& clsid, const GUID& iid, void** out);

// Asks the library's factory for an object and returns it as the interface `Interface`.
template <typename Interface>
Interface* create(CreateObjectFunction createObject, const GUID& clsid, const GUID& iid) {
  void* object = nullptr;
  if (!createObject(clsid, iid, &object)) return nullptr;
  return static_cast<Interface*>(object);
}

#ifdef HAVE_WEXLEY
bool useWexley(CreateObjectFunction createObject, const std::string& folder) {
  auto* ini = create<IWexley>(createObject, CLSID_Wexley, IID_IWexley);
  if (ini == nullptr) return false;
  ini->SetFilePath(folder + "/line.ini");
  bool ok = ini->WriteValue("Line", "Station", "A3") && ini->GetValue("line", "station") == "A3";
  ini->Release();
  return ok;
}
#endif

#ifdef HAVE_NELVISH
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
#endif

#ifdef HAVE_TOBRIN
bool useTobrin(CreateObjectFunction createObject, const std::string& folder) {
  auto* db = create<ITobrin>(createObject, CLSID_Tobrin, IID_ITobrin);
  if (db == nullptr) return false;
  db->SetFilePath(folder + "/line.db");
  bool ok = db->GetFilePath() == folder + "/line.db";
  db->Release();
  return ok;
}
#endif

struct Companion {
  const char* name;
  const char* fileName;
  bool (*use)(CreateObjectFunction createObject, const std::string& folder);
};

const Companion kCompanions[] = {
#ifdef HAVE_WEXLEY
    {"wexley", "libwexley.so.1", useWexley},
#endif
#ifdef HAVE_NELVISH
    {"nelvish", "libnelvish.so.1", useNelvish},
#endif
#ifdef HAVE_TOBRIN
    {"tobrin", "libtobrin.so.1", useTobrin},
#endif
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
  int loaded = 0;
  bool failed = false;
  for (const Companion& companion : kCompanions) {
    int result = tryCompanion(companion, libraryFolder, pattern);
    loaded += result != 0 ? 1 : 0;
    failed = failed || result < 0;
  }
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return loaded > 0 && !failed ? 0 : 1;
}
