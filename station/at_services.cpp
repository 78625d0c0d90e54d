#include "station/at_services.h"

#include "platform/at_commands.h"

namespace {

int platformSetAtCmd(const DownloadRequest& request, const char* command, std::string* reply) {
  return SetAtCmd(request, command, reply);
}

AtServices gServices = platformAtServices();

}  // namespace

AtServices platformAtServices() {
  return AtServices{platformSetAtCmd, BackupEfs2, CheckEfs2, CheckIf9011};
}

const AtServices& atServices() {
  return gServices;
}

void installAtServices(const AtServices* services) {
  gServices = services ? *services : platformAtServices();
}
