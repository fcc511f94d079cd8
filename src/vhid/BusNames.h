#pragma once

// How a device's two entries on a bus directory are named: STEM.sock, the
// listening socket, and STEM.info, its announcement.

#include <string>

namespace vhid {

std::string sockPath(const std::string& busDir, const std::string& stem);
std::string infoPath(const std::string& busDir, const std::string& stem);
// The stem of a directory entry named STEM.info; empty for any other name.
std::string stemOfInfo(const std::string& name);
// The STEM.info beside a STEM.sock path; empty when it is no socket path.
std::string infoPathOfSock(const std::string& sockPath);

} // namespace vhid
