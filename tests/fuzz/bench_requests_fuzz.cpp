// The bench's control requests: every line of the input is one request to a bench that holds
// one plugged module, as the station, the simulated library and tools or the operator would
// send it. Each gets a reply object with "ok", whatever it holds. Requests with a text that is
// an absolute path or climbs out of a folder are skipped: the bench writes the files requests
// name, and the fuzzer must not write outside its working folder.

#include <nlohmann/json.hpp>
#include <string>

#include "fuzz_support.h"
#include "sim/bench/bench.h"

namespace {

bool namesOutsidePath(const nlohmann::json& value) {
  if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    return text.find('/') != std::string::npos || text.find("..") != std::string::npos;
  }
  if (value.is_structured()) {
    for (const auto& element : value) {
      if (namesOutsidePath(element)) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("bench_requests");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Bench bench;
  bench.handle({{"cmd", "plug"}, {"platform", "Qca9x07"}});
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (int lines = 0; !rest.empty() && lines < 32; ++lines) {
    const size_t end = rest.find('\n');
    const std::string line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
    if (request.is_discarded() || namesOutsidePath(request)) continue;
    const nlohmann::json reply = bench.handle(request);
    if (!reply.is_object() || !reply.contains("ok")) fuzz::fail("a reply without \"ok\"");
    reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    bench.run();
  }
  return 0;
}
