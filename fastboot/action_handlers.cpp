// Completion handlers of queued steps. Their printing goes to standard error, never to the
// DUT's log.

#include <cstdio>
#include <cstring>

#include "fastboot/action_queue.h"

int action_done_default(fb_action* action, int status, const char* response) {
  if (status) return status;
  action->start = fb_now();
  return 0;
}

// A loader that drops the connection while rebooting has still done what was asked.
int action_done_reboot(fb_action* action, int status, const char* response) {
  return 0;
}

namespace {

// A value of two or more characters ending in '*' matches every reply that begins with the
// rest of it; any other value must equal the reply.
bool valueMatches(const std::string& value, const char* reply) {
  if (value.size() >= 2 && value.back() == '*') {
    return std::strncmp(reply, value.c_str(), value.size() - 1) == 0;
  }
  return value == reply;
}

}  // namespace

int check_required_value(fb_action* action, int status, const char* response) {
  if (status) {
    std::fprintf(stderr, "FAILED (%s)\n", response);
    return status;
  }
  bool matched = false;
  for (const std::string& value : action->texts) matched = matched || valueMatches(value, response);
  bool ok = action->invert ? !matched : matched;
  if (ok) {
    double now = fb_now();
    std::fprintf(stderr, "OKAY [%7.3fs]\n", now - action->start);
    action->start = now;
    return 0;
  }
  const char* variable = action->command;
  if (std::strncmp(variable, "getvar:", 7) == 0) variable += 7;
  std::fprintf(stderr, "FAILED\n\n");
  std::fprintf(stderr, "Device %s is '%s'.\n", variable, response);
  if (!action->texts.empty()) {
    std::fprintf(stderr, "Update %s '%s'", action->invert ? "rejects" : "requires",
                 action->texts[0].c_str());
    for (size_t i = 1; i < action->texts.size(); ++i) {
      std::fprintf(stderr, " or '%s'", action->texts[i].c_str());
    }
  }
  std::fprintf(stderr, ".\n\n");
  return -1;
}

int show_variable(fb_action* action, int status, const char* response) {
  if (status) {
    std::fprintf(stderr, "%s FAILED (%s)\n", action->command, response);
    return status;
  }
  const char* label = action->texts.empty() ? "" : action->texts[0].c_str();
  std::fprintf(stderr, "%s: %s\n", label, response);
  return 0;
}
