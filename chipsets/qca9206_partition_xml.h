#pragma once
// The partition XML file of a Qca9206 firmware: every "partition" element names a partition
// ("0:SBL") and the image file written to it. The file comes with the firmware, so it is read
// as untrusted input: no network access, no external files, no entity expansion, a bounded
// size and nesting depth; whatever it holds cannot crash or hang the station.

#include <string>
#include <vector>

struct PartitionXmlImage {
  std::string label;      // the partition's name after its first ":" ("SBL")
  std::string imageName;  // the image file, relative to the firmware folder
};

struct PartitionXml {
  // The partitions with an image, in document order. The partition table's own entry (an
  // image name holding "partition.mbn") and entries without an image are left out.
  std::vector<PartitionXmlImage> images;
  // Why the file could not be read (the XML library's text), empty when it was read.
  std::string error;
};

// Reads `path`: walks the elements below the root depth-first in document order, each before
// its children, and takes every "partition" element's first "name" and "img_name" children
// (white space around their text removed).
PartitionXml readPartitionXml(const std::string& path);
