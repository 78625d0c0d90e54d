#pragma once
// The flash sequences: when a firmware is loaded they check that its application images
// exist, load them and fill the action queue with the flash steps in the platform's partition
// order, ending with a reboot. Nothing is sent to a device here. Each returns 0 when the queue
// was built and -1 when it was not (an "Error" box says why, and the queue is left empty, so a
// later AP download fails at once instead of writing half a firmware).

#include <string>

// Qca9x25: boot, system, userdata, recovery, recoveryfs.
int flash_loaddata1(const std::string& boot, const std::string& system, const std::string& userdata,
                    const std::string& recovery, const std::string& recoveryfs);

// Qca9x15: aboot, boot, system, userdata, recovery, recoveryfs; every image is cut into
// pieces of at most 38,658,048 bytes.
int flash_loaddata2(const std::string& boot, const std::string& system, const std::string& userdata,
                    const std::string& recovery, const std::string& recoveryfs,
                    const std::string& aboot);

// The images of a Qca9x07 firmware. An empty modem, recovery, recoveryfs, efs2 or devcfg path
// means the firmware has none. `persist` holds the customer image for flash_loaddata6.
struct Qca9x07Images {
  std::string sbl, tz, rpm, devcfg, aboot, boot, system, modem, recovery, recoveryfs, efs2,
      userdata, persist;
};

// The station options the Qca9x07 sequences follow.
struct Qca9x07Options {
  bool onlyAp = false;            // also write sbl, tz, rpm and devcfg
  bool backupRestoreQcn = false;  // keep aboot, erase and write efs2
};

// Without userdata.
int flash_loaddata4(const Qca9x07Images& images, const Qca9x07Options& options);
// With userdata.
int flash_loaddata7(const Qca9x07Images& images, const Qca9x07Options& options);
// With userdata and the persist image (partition "persist").
int flash_loaddata5(const Qca9x07Images& images, const Qca9x07Options& options);
// With userdata and the customer image (partition "customer").
int flash_loaddata6(const Qca9x07Images& images, const Qca9x07Options& options);
