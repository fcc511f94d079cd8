#include "DeviceInfo.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vhid {

namespace {

// "0x" (or "0X") and hex digits, or decimal digits; nothing else, no sign.
bool parseNumber(const std::string& text, unsigned long min, unsigned long max, long* out)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 16 ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        return false;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value < min || value > max)
        return false;
    *out = static_cast<long>(value);
    return true;
}

std::string hex4(unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", value & 0xffffu);
    return buf;
}

// A value is the rest of its line: a line break or NUL in it would be read
// back as something else, so each goes as a space.
std::string oneLine(std::string value)
{
    for (char& c : value)
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    return value;
}

} // namespace

std::string DeviceInfo::format() const
{
    std::ostringstream s;
    s << "vendor_id=" << hex4(vendorId) << '\n'
      << "product_id=" << hex4(productId) << '\n'
      << "release=" << hex4(release) << '\n'
      << "product=" << oneLine(product) << '\n'
      << "manufacturer=" << oneLine(manufacturer) << '\n'
      << "serial=" << oneLine(serial) << '\n'
      << "interface=" << interfaceNumber << '\n'
      << "usage_page=" << usagePage << '\n'
      << "usage=" << usage << '\n'
      << "input_report_length=" << inputReportLength << '\n'
      << "output_report_length=" << outputReportLength << '\n';
    return s.str();
}

bool DeviceInfo::parse(const std::string& text, DeviceInfo* out)
{
    DeviceInfo info;
    bool haveVendor = false;
    bool haveProduct = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            return false;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        // Strings must not carry a NUL: they become C strings on the tool side.
        if (value.find('\0') != std::string::npos)
            return false;
        long n = 0;
        if (key == "vendor_id") {
            if (!parseNumber(value, 0, 0xffff, &n))
                return false;
            info.vendorId = static_cast<uint16_t>(n);
            haveVendor = true;
        } else if (key == "product_id") {
            if (!parseNumber(value, 0, 0xffff, &n))
                return false;
            info.productId = static_cast<uint16_t>(n);
            haveProduct = true;
        } else if (key == "release") {
            if (!parseNumber(value, 0, 0xffff, &n))
                return false;
            info.release = static_cast<uint16_t>(n);
        } else if (key == "product") {
            info.product = value;
        } else if (key == "manufacturer") {
            info.manufacturer = value;
        } else if (key == "serial") {
            info.serial = value;
        } else if (key == "interface") {
            if (value == "-1")
                info.interfaceNumber = -1;
            else if (!parseNumber(value, 0, 255, &n))
                return false;
            else
                info.interfaceNumber = static_cast<int>(n);
        } else if (key == "usage_page") {
            if (!parseNumber(value, 0, 0xffff, &n))
                return false;
            info.usagePage = static_cast<uint16_t>(n);
        } else if (key == "usage") {
            if (!parseNumber(value, 0, 0xffff, &n))
                return false;
            info.usage = static_cast<uint16_t>(n);
        } else if (key == "input_report_length") {
            if (!parseNumber(value, 1, MaxReportLength, &n))
                return false;
            info.inputReportLength = static_cast<int>(n);
        } else if (key == "output_report_length") {
            if (!parseNumber(value, 1, MaxReportLength, &n))
                return false;
            info.outputReportLength = static_cast<int>(n);
        }
        // Unknown keys are left for newer writers.
    }
    if (!haveVendor || !haveProduct)
        return false;
    *out = info;
    return true;
}

} // namespace vhid
