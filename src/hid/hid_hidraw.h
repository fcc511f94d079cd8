#pragma once

// Linux hidraw: enumeration from sysfs, reports through /dev/hidrawN.

#include "hid.h"

#include <string>

namespace orvhid {

// sysfsRoot is "/sys" on a live system; tests point it at a fake tree.
hid_device_info* hidrawEnumerate(const std::string& sysfsRoot, unsigned short vendorId,
                                 unsigned short productId);
hid_device* hidrawOpen(const std::string& sysfsRoot, const std::string& devPath);

// What the native backend uses instead of /sys and open(2), for tests: a
// fake tree, and device nodes whose open fails or succeeds at will (tests
// run as root, where file modes do not stop an open). A null open is open(2).
using HidrawOpenFunction = int (*)(const char* path, int flags);
void setHidrawForTesting(const std::string& sysfsRoot, HidrawOpenFunction open);

} // namespace orvhid
