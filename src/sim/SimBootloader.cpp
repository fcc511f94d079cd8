#include "SimBootloader.h"

#include "SimProtocol.h"

#include <algorithm>

namespace orvsim {

namespace {

constexpr size_t DataOffset = 2;
constexpr size_t IndexOffset = 34;
constexpr size_t CountOffset = 36;
constexpr size_t CrcOffset = 38;
constexpr size_t TailFlagOffset = 42;
constexpr size_t TailOffset = 43;
constexpr size_t TailSize = 16;

int16_t getI16(const uint8_t* p)
{
    return static_cast<int16_t>(getU16(p));
}

} // namespace

SimBootloader::SimBootloader(const std::string& busDir, const std::string& stem,
                             vhid::DeviceInfo info, LeaveHandler leaveHandler,
                             ResetHandler resetHandler)
    : SimDevice(busDir, stem, std::move(info)), onLeave(std::move(leaveHandler)),
      onReset(std::move(resetHandler))
{}

SimBootloader::~SimBootloader()
{
    shutdown();
}

SimDeviceInfo SimBootloader::deviceInfo() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return info_;
}

void SimBootloader::setDeviceInfo(const SimDeviceInfo& info)
{
    std::lock_guard<std::mutex> guard(mutex);
    info_ = info;
}

void SimBootloader::setCorruptEchoOfChunk(int index)
{
    std::lock_guard<std::mutex> guard(mutex);
    corruptChunk = index;
}

void SimBootloader::setSilentAfterChunk(int index)
{
    std::lock_guard<std::mutex> guard(mutex);
    silentAfter = index;
}

bool SimBootloader::plug()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        hung = false;
    }
    return SimDevice::plug();
}

std::vector<uint8_t> SimBootloader::receivedImage() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return image;
}

int SimBootloader::announcedChunks() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return chunkCount;
}

int SimBootloader::keptChunks() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return int(std::count(kept.begin(), kept.end(), true));
}

uint64_t SimBootloader::chunkCommands() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return commands;
}

SimBootloader::Outcome SimBootloader::lastOutcome() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return outcome;
}

void SimBootloader::handleOutputReport(const Report& command)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (hung)
            return;
    }
    switch (command[1]) {
    case Command::FirmwareChunk:
        takeChunk(command);
        return;
    case Command::ReadSettings: {
        Report answer(ReportSize, 0);
        answer[0] = ResponseReportId;
        answer[1] = Command::ReadSettings;
        answer[2] = static_cast<uint8_t>(protocolVersion(ProtocolVersion));
        const auto info = deviceInfo().bytes();
        std::copy(info.begin(), info.end(), answer.begin() + 3);
        reply(std::move(answer));
        return;
    }
    case Command::Reset:
        if (command[5] == 1 && onReset)
            onReset();
        if (command[3] == 1)
            afterAnswers([this] { leave(nullptr); });
        return;
    default:
        return;
    }
}

void SimBootloader::takeChunk(const Report& command)
{
    const int index = getI16(&command[IndexOffset]);
    const int count = getI16(&command[CountOffset]);
    std::unique_lock<std::mutex> lock(mutex);
    ++commands;

    if (index == count) {
        // The closing command carries nothing else; anything in the other
        // bytes makes it a damaged report rather than the end of the transfer.
        const bool restZero =
            std::all_of(command.begin() + DataOffset, command.begin() + IndexOffset,
                        [](uint8_t b) { return b == 0; }) &&
            std::all_of(command.begin() + CrcOffset, command.end(),
                        [](uint8_t b) { return b == 0; });
        lock.unlock();
        if (restZero)
            endTransfer(count);
        return;
    }

    // The echo is what arrived, so the host's CRC check also catches damage
    // on the way here; only intact chunks are kept.
    Report echo(command);
    echo[0] = ResponseReportId;
    if (index == corruptChunk)
        echo[DataOffset] ^= 0x01;
    if (silentAfter >= 0 && index == silentAfter)
        hung = true;
    const bool intact = wordCrc32(&command[DataOffset], ChunkSize) == getU32(&command[CrcOffset]);
    if (intact && count > 0 && index >= 0 && index < count) {
        if (index == 0) {
            // Chunk 0 starts every transfer, also one that replaces an
            // unfinished one.
            chunkCount = count;
            image.assign(size_t(count) * ChunkSize, 0);
            kept.assign(size_t(count), false);
        }
        if (count == chunkCount) {
            const size_t at = size_t(index) * ChunkSize;
            std::copy_n(command.begin() + DataOffset, ChunkSize, image.begin() + long(at));
            kept[size_t(index)] = true;
            // The tail repeats the end of the chunk before: if it differs from
            // what was kept, that chunk is not trusted any more.
            if (index > 0 && command[TailFlagOffset] == 1 && kept[size_t(index) - 1] &&
                !std::equal(command.begin() + TailOffset, command.begin() + TailOffset + TailSize,
                            image.begin() + long(at - TailSize)))
                kept[size_t(index) - 1] = false;
        }
    }
    lock.unlock();
    reply(std::move(echo));
}

void SimBootloader::endTransfer(int count)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (count <= 0) {
        outcome = count == 0 ? Outcome::Empty : Outcome::Incomplete;
        return;
    }
    if (count != chunkCount || std::find(kept.begin(), kept.end(), false) != kept.end()) {
        // An image with holes is not started: the device stays here, where
        // another transfer can repair it.
        outcome = Outcome::Incomplete;
        return;
    }
    outcome = Outcome::Installed;
    auto installed = std::make_shared<std::vector<uint8_t>>(image);
    lock.unlock();
    afterAnswers([this, installed] { leave(installed.get()); });
}

void SimBootloader::leave(const std::vector<uint8_t>* newImage)
{
    SimDevice::unplug();
    if (onLeave)
        onLeave(newImage);
}

} // namespace orvsim
