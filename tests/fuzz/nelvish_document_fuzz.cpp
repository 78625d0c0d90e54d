// The Nelvish loader: any bytes either give a document or a reason, never a crash; a document
// that loads is written out and must load again.

#include <string>

#include "fuzz_support.h"
#include "libs/nelvish/loader.h"
#include "libs/nelvish/serializer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("nelvish_document");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  nelvish::DocOwner doc = nelvish::parseDocument(reinterpret_cast<const char*>(data), size, error);
  if (!doc) {
    if (error.empty()) fuzz::fail("a refused document without a reason");
    return 0;
  }
  const std::string written = nelvish::documentFileBytes(doc.get());
  nelvish::DocOwner again = nelvish::parseDocument(written.data(), written.size(), error);
  if (!again) fuzz::fail("a written document does not load again");
  return 0;
}
