#include "chipsets/platform_rows.h"

#include "chipsets/qca6270.h"
#include "chipsets/qca6695.h"
#include "chipsets/qca8909.h"
#include "chipsets/qca9206.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x25.h"

namespace {

// Indexed by platform type; each row in the table's entry order.
const PlatformOps kRows[kPlatformTypeCount] = {
    {kQca9x15, autoLoadQca9x15FileList2Ui, loadQca9x15FileList, saveQca9x15FileList,
     downloadCpQca9x15, downloadApQca9x15, downloadTpQca9x15, downloadCompletedQca9x15},
    {kQca9x25, autoLoadQca9x25FileList2Ui, loadQca9x25FileList, saveQca9x25FileList,
     downloadCpQca9x25, downloadApQca9x25, downloadTpQca9x25, downloadCompletedQca9x25},
    {kQca8909, autoLoadQca8909FileList2Ui, loadQca8909FileList, saveQca8909FileList,
     downloadCpQca8909, downloadApQca8909, downloadTpQca8909, downloadCompletedQca8909},
    {kQca9x07, autoLoadQca9x07FileList2Ui, loadQca9x07FileList, saveQca9x07FileList,
     downloadCpQca9x07, downloadApQca9x07, downloadTpQca9x07, downloadCompletedQca9x07},
    {kQca9206, autoLoadQca9206FileList2Ui, loadQca9206FileList, saveQca9206FileList,
     downloadCpQca9206, downloadApQca9206, downloadTpQca9206, downloadCompletedQca9206},
    {kQca6695, autoLoadQca6695FileList2Ui, loadQca6695FileList, saveQca6695FileList,
     downloadCpQca6695, downloadApQca6695, downloadTpQca6695, downloadCompletedQca6695},
    {kQca6270, autoLoadQca6270FileList2Ui, loadQca6270FileList, saveQca6270FileList,
     downloadCpQca6270, downloadApQca6270, downloadTpQca6270, downloadCompletedQca6270},
};

}  // namespace

const PlatformOps* chipsetPlatformRow(PlatformType type) {
  if (type < 0 || type >= kPlatformTypeCount) return nullptr;
  return &kRows[type];
}
