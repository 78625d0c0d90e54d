// A caller built against the installed Wexley package: writes an INI file, renames a section and
// reads it back. Exits 0 when everything reads back as written.

#include <zendral/wexley.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.ini\n", argv[0]);
    return 2;
  }
  IWexley* ini = nullptr;
  if (!CreateObject(CLSID_Wexley, IID_IWexley, reinterpret_cast<void**>(&ini))) return 1;
  ini->SetFilePath(argv[1]);
  bool ok = ini->CreateIniFile() && ini->WriteValue("Line", "Name", "A3") &&
            ini->WriteSection("Ports", {{"diag", "3"}, {"at", "4"}}) &&
            ini->RenameSection("Ports", "Dev1");
  ok = ok && ini->GetValue("line", "name") == "A3" && ini->GetKeys("Dev1").size() == 2 &&
       ini->GetSectionNames().size() == 2;
  std::printf("%s\n", ok ? "wexley ok" : "wexley FAILED");
  ini->Release();
  return ok ? 0 : 1;
}
