// The Sahara and Firehose tool output readers: output arrives in chunks of any size and bytes
// (the fuzzer's records, cut to the largest chunk the runner reads). Whatever arrives, the
// buffer stays within its capacity and a reported progress lies between 0 and 1.

#include <string>

#include "chipsets/tool_output.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("tool_output");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SaharaOutputReader sahara;
  FirehoseOutputReader firehose;
  for (std::string_view record : fuzz::records(data, size, 64)) {
    const std::string chunk(record.substr(0, ToolOutputBuffer::kChunkSize));
    sahara.add(chunk);
    const FirehoseNews news = firehose.add(chunk);
    if (news.fraction && !(*news.fraction >= 0.0 && *news.fraction <= 1.0)) {
      fuzz::fail("a progress outside 0 to 1");
    }
    if (sahara.buffer().size() > ToolOutputBuffer::kCapacity ||
        firehose.buffer().size() > ToolOutputBuffer::kCapacity) {
      fuzz::fail("a buffer beyond its capacity");
    }
  }
  return 0;
}
