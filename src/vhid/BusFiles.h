#pragma once

// The few file operations both sides of the bus need. The reader also serves
// the hidraw backend's sysfs attributes.

#include <string>

namespace vhid {

// Reads a small text file whole; false if it is missing or unreasonably big.
bool readSmallFile(const std::string& path, std::string* out);
// Writes through a temporary name and a rename, so readers never see half.
bool writeFileAtomically(const std::string& path, const std::string& content);

} // namespace vhid
