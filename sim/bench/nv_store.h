#pragma once
// A module's NV items (its calibration and configuration) and the two backup file forms that
// hold them: QCN (binary) and XQCN (XML text). A restore from a backup makes the items equal,
// so the digest of the items tells whether a restore gave back what a backup took.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

using NvItems = std::map<uint16_t, std::vector<uint8_t>>;

inline constexpr uint16_t kNvFtmModeItem = 453;
// The largest item the diagnostic interface moves in one read or write.
inline constexpr size_t kNvItemMaxSize = 128;

// A calibrated module's items, different for every seed (the IMEI).
NvItems makeCalibratedItems(const std::string& seed);
// What a wiped EFS leaves: the default items only.
NvItems makeFactoryItems();

// Digest of the items in id order (id, length, bytes).
std::string nvDigest(const NvItems& items);

enum class QcnForm { kQcn, kXqcn };

// The backup file's contents for `items` of the module with `imei`.
std::string encodeQcn(const NvItems& items, const std::string& imei, QcnForm form);
// Reads a backup; false with `error` set when it is not a complete backup of either form.
// Trailing padding after a complete backup is allowed.
bool decodeQcn(const std::string& contents, NvItems& items, std::string& imei, std::string& error);

// The EFS image of a module (the CEFS download, and the efs2 partition image it becomes):
// the items behind a header. False from decodeEfsImage when the bytes are not such an image.
std::string encodeEfsImage(const NvItems& items);
bool decodeEfsImage(const std::string& contents, NvItems& items);

}  // namespace sim
