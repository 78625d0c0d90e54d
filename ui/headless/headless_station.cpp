#include "ui/headless/headless_station.h"

#include "host/event_loop.h"
#include "station/startup.h"
#include "ui/headless/command_interpreter.h"
#include "ui/headless/headless_surface.h"
#include "ui/headless/line_reader.h"

int runHeadlessStation(int inputFd, std::FILE* out) {
  HeadlessSurface surface(out);
  host::OperatorSurface* previous = host::installSurface(&surface);
  CommandInterpreter interpreter(surface);
  host::EventLoop& loop = host::uiLoop();
  // Bound before the first line can arrive, so that actions wait for the end of start-up.
  loop.bind();
  int code;
  {
    LineReader reader(
        inputFd,
        [&](const std::string& line) { loop.post([&, line] { interpreter.submit(line); }); },
        [&] { loop.post([&] { interpreter.submit("quit"); }); });
    code = stationMain();
    reader.stop();
  }
  surface.emit({{"event", "exit"}, {"code", code}});
  host::installSurface(previous);
  return code;
}
