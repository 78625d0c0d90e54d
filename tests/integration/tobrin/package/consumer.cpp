// A caller built against the installed Tobrin package: creates the database PATH.db, writes a
// table and reads it back. Exits 0 when everything reads back as written.
#include <zendral/tobrin.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
    return 2;
  }
  ITobrin* db = nullptr;
  if (!CreateObject(CLSID_Tobrin, IID_ITobrin, reinterpret_cast<void**>(&db))) return 1;
  std::vector<std::string> imeis;
  try {
    db->SetFilePath(std::string(argv[1]) + ".db");
    if (!db->CreateDatabase()) throw std::runtime_error("CreateDatabase refused a new path");
    db->Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + db->GetFilePath() + ";");
    db->ExecuteStatement("CREATE TABLE units (imei TEXT, result INTEGER)");
    db->ExecuteStatement("INSERT INTO units VALUES ('860000000000001', 0)");
    db->ReadColumn("units", "imei", imeis);
    db->Close();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  db->Release();
  const bool read = imeis == std::vector<std::string>{"860000000000001"};
  std::printf("%s\n", read ? "units: 860000000000001" : "units: not read back");
  return read ? 0 : 1;
}
