#pragma once

// The few file operations both sides of the bus need. The reader also serves
// the hidraw backend's sysfs attributes.

#include <string>

namespace vhid {

// Reads a small regular file whole. It never waits: a FIFO, socket or device
// node is refused rather than read. False if missing, not a regular file or
// unreasonably big.
bool readSmallFile(const std::string& path, std::string* out);
// Writes through a temporary name and a rename, so readers never see half.
bool writeFileAtomically(const std::string& path, const std::string& content);

} // namespace vhid
