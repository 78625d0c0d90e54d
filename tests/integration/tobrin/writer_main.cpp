// tobrin_test_writer CONNECTION STATION COUNT: inserts COUNT rows (STATION, 1..COUNT) into the
// table `records`, one statement each, as a station on a line records its units. Exits 0 when
// every insert went through; otherwise prints the error and exits 1.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "zendral/tobrin.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CONNECTION STATION COUNT\n", argv[0]);
    return 2;
  }
  void* object = nullptr;
  if (!CreateObject(CLSID_Tobrin, IID_ITobrin, &object)) return 1;
  auto* db = static_cast<ITobrin*>(object);
  int status = 0;
  try {
    db->Open(argv[1]);
    const std::string station = argv[2];
    const int count = std::stoi(argv[3]);
    for (int n = 1; n <= count && status == 0; ++n) {
      status = db->ExecuteStatement("INSERT INTO records (station, n) VALUES (" + station + ", " +
                                    std::to_string(n) + ")");
    }
    db->Close();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    status = 1;
  }
  db->Release();
  return status;
}
