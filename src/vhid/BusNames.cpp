#include "BusNames.h"

namespace vhid {

namespace {

const std::string SockSuffix = ".sock";
const std::string InfoSuffix = ".info";

// The name without the suffix, or empty when it does not end in it (or is
// nothing but the suffix).
std::string withoutSuffix(const std::string& name, const std::string& suffix)
{
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    return name.substr(0, name.size() - suffix.size());
}

} // namespace

std::string sockPath(const std::string& busDir, const std::string& stem)
{
    return busDir + "/" + stem + SockSuffix;
}

std::string infoPath(const std::string& busDir, const std::string& stem)
{
    return busDir + "/" + stem + InfoSuffix;
}

std::string stemOfInfo(const std::string& name)
{
    return withoutSuffix(name, InfoSuffix);
}

std::string infoPathOfSock(const std::string& sockPath)
{
    const std::string stemPath = withoutSuffix(sockPath, SockSuffix);
    return stemPath.empty() ? std::string() : stemPath + InfoSuffix;
}

} // namespace vhid
