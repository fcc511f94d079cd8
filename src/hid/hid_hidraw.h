#pragma once

// Linux hidraw: enumeration from sysfs, reports through /dev/hidrawN.

#include "hid.h"

#include <string>

namespace orvhid {

// sysfsRoot is "/sys" on a live system; tests point it at a fake tree.
hid_device_info* hidrawEnumerate(const std::string& sysfsRoot, unsigned short vendorId,
                                 unsigned short productId);
hid_device* hidrawOpen(const std::string& sysfsRoot, const std::string& devPath);

} // namespace orvhid
