#pragma once

// Windows HID backend: SetupAPI enumeration, hid.dll loaded at run time and
// overlapped file I/O. What is declared here beyond the backend functions of
// hid_backend.h is for the Windows test program.

#include "hid.h"

#include <cstddef>
#include <vector>

namespace orvhid {

struct HidEntryPoint
{
    const char* name;
    bool resolved;
};

// The hid.dll entry points in the order they are looked up, and whether
// each is resolved at the moment.
std::vector<HidEntryPoint> hidEntryPoints();

// The USB interface number written after "&mi_" in an interface path, -1
// when there is none.
int interfaceNumberFromPath(const char* path);

// A device over an already opened overlapped handle (taken over, closed by
// hid_close), with the given report lengths; nothing is asked of hid.dll.
hid_device* deviceFromHandle(void* handle, size_t inputReportLength, size_t outputReportLength);

} // namespace orvhid
