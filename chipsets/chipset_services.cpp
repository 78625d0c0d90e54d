#include "chipsets/chipset_services.h"

#include "chipsets/tool_runner.h"
#include "fastboot/executor.h"
#include "platform/at_commands.h"
#include "platform/phone_report.h"
#include "platform/qca_library.h"
#include "platform/qcn_backup.h"

namespace {

constexpr ChipsetServices kRealServices = {
    qca_load_lib,   CheckCFUN,   backupQcn,           PrintQLibVersion,        flash_all,
    ReadDeviceInfo, WriteNvItem, IfNeedUpdateVersion, SaharaFirehoseProgramer, fhDownloadXmlPackage,
};

ChipsetServices gServices = kRealServices;

}  // namespace

ChipsetServices& chipsetServices() {
  return gServices;
}

void resetChipsetServices() {
  gServices = kRealServices;
}
