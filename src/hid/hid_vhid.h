#pragma once

// The virtual HID bus: a directory where each device is STEM.sock (a
// listening seqpacket socket) plus STEM.info (its description).

#include "hid.h"

#include <string>

namespace orvhid {

hid_device_info* vhidEnumerate(const std::string& busDir, unsigned short vendorId,
                               unsigned short productId);
hid_device* vhidOpen(const std::string& sockPath);

} // namespace orvhid
