#include "UsbDeviceOrvBootloader.h"

#include "OrvCommandReport.h"
#include "profiles/crc32Words.h"

#include <QCoreApplication>
#include <QPointer>
#include <QtEndian>

#include <cstring>

UsbDeviceOrvBootloader::UsbDeviceOrvBootloader(QString path, hid_device* device)
    : UsbDevice(std::move(path), device)
{}

QByteArray UsbDeviceOrvBootloader::padToChunks(QByteArray image)
{
    const int rest = static_cast<int>(image.size() % ChunkSize);
    if (rest != 0)
        image.append(QByteArray(ChunkSize - rest, '\0'));
    return image;
}

void UsbDeviceOrvBootloader::buildChunkCommand(const QByteArray& paddedImage, int index,
                                               uint8_t* command)
{
    const int chunks = static_cast<int>(paddedImage.size() / ChunkSize);
    std::memset(command, 0, OrvUsbReport::Size);
    command[0] = OrvUsbReport::CommandId;
    command[1] = static_cast<uint8_t>(UsbCommand::FirmwareChunk);
    if (index < 0 || index >= chunks) {
        // An index equal to the count tells the device the image is complete.
        qToLittleEndian<qint16>(static_cast<qint16>(chunks), command + IndexOffset);
        qToLittleEndian<qint16>(static_cast<qint16>(chunks), command + CountOffset);
        return;
    }
    const char* chunk = paddedImage.constData() + index * ChunkSize;
    std::memcpy(command + DataOffset, chunk, ChunkSize);
    qToLittleEndian<qint16>(static_cast<qint16>(index), command + IndexOffset);
    qToLittleEndian<qint16>(static_cast<qint16>(chunks), command + CountOffset);
    qToLittleEndian<quint32>(crc32Words(command + DataOffset, ChunkSize), command + CrcOffset);
    if (index > 0) {
        command[TailFlagOffset] = 1;
        std::memcpy(command + TailOffset, chunk - TailSize, TailSize);
    }
}

QString UsbDeviceOrvBootloader::imageTooLargeMessage(qint64 bytes)
{
    return QCoreApplication::translate(
               "ORV_wheel_tool",
               "Firmware image too large: %1 bytes; at most %2 bytes can be written.")
        .arg(bytes)
        .arg(MaxImageSize);
}

void UsbDeviceOrvBootloader::sendCommand(UsbCommand code, int byte, uint8_t value, bool expectReply)
{
    OrvCommandReport command(code, ProtocolVersion);
    command[size_t(byte)] = value;
    sendReport(command.data(), expectReply);
}

// The bootloader's Reset command does one of two things, chosen by which
// payload byte is set.
void UsbDeviceOrvBootloader::exitBootloader()
{
    sendCommand(UsbCommand::Reset, 3, 1, false);
}

void UsbDeviceOrvBootloader::resetToFactoryDefaults()
{
    sendFactoryDefaults(ProtocolVersion);
}

void UsbDeviceOrvBootloader::loadSettings()
{
    sendCommand(UsbCommand::ReadSettings, 42, 0, true);
}

void UsbDeviceOrvBootloader::updateFirmware(QByteArray newFirmwareBytes)
{
    // The chunk fields cannot describe a longer image; refuse it before the
    // device has seen any of it, and leave whatever runs alone.
    if (newFirmwareBytes.size() > MaxImageSize) {
        emit onUpdateFailed(this, imageTooLargeMessage(newFirmwareBytes.size()));
        return;
    }
    firmware = padToChunks(std::move(newFirmwareBytes));
    awaitedChunk = -1; // the update this one replaces is not followed any more
    // A receiver may show a dialog, and an unplug while it is open deletes
    // this object.
    QPointer<UsbDevice> self(this);
    emit onFirmwareUpdateStarted(chunkCount());
    if (self)
        sendChunk(0);
}

void UsbDeviceOrvBootloader::sendChunk(int index)
{
    const int chunks = chunkCount();
    const bool last = index >= chunks;
    // The echo that moved the update on was the one awaited; any other echo
    // of that chunk is late.
    awaitedChunk = -1;
    const unsigned step = ++transferStep;
    // A modal progress dialog runs the event loop from here: an unplug there
    // deletes this object, and a report handled there may already have sent
    // this chunk or a later one.
    QPointer<UsbDevice> self(this);
    emit onFirmwareUpdateProgress(index, chunks);
    if (!self || step != transferStep)
        return;

    uint8_t command[OrvUsbReport::Size];
    buildChunkCommand(firmware, index, command);
    if (!last)
        awaitedChunk = index;
    sendReport(command, !last);
    if (last)
        emit onUpdateCompleted(this);
}

bool UsbDeviceOrvBootloader::namesChunkOfUpdate(const OrvUsbReport& report) const
{
    const int index = qFromLittleEndian<qint16>(report.data + IndexOffset);
    return awaitedChunk >= 0 && index == awaitedChunk;
}

void UsbDeviceOrvBootloader::handleReport(OrvUsbReport* report, uint64_t readTimeMicros)
{
    UsbDevice::handleReport(report, readTimeMicros);
    const auto code = static_cast<UsbCommand>(report->data[1]);
    // Only the echo of the chunk sent last is followed: one naming no chunk
    // of the image would read past it, and a late one (a chunk sent twice,
    // an update replaced) would send chunks out of turn and end the update
    // before the device has them all.
    if (code == UsbCommand::FirmwareChunk && !namesChunkOfUpdate(*report))
        return;

    switch (code) {
    case UsbCommand::FirmwareChunk:
        handleChunkEcho(*report);
        break;
    case UsbCommand::ReadSettings:
        std::memcpy(&deviceInfo, report->data + OrvUsbDeviceInfo::ResponseOffset,
                    sizeof deviceInfo);
        emit onSettingsLoaded(this);
        break;
    default:
        break;
    }
}

void UsbDeviceOrvBootloader::handleChunkEcho(const OrvUsbReport& echo)
{
    const int index = qFromLittleEndian<qint16>(echo.data + IndexOffset);
    const quint32 crc = qFromLittleEndian<quint32>(echo.data + CrcOffset);
    if (crc32Words(echo.data + DataOffset, ChunkSize) == crc) {
        // Intact, yet not this image's chunk: the echo of a replaced update.
        if (std::memcmp(echo.data + DataOffset, firmware.constData() + index * ChunkSize,
                        ChunkSize) == 0)
            sendChunk(index + 1);
        return;
    }

    const int count = qFromLittleEndian<qint16>(echo.data + CountOffset);
    awaitedChunk = -1;
    ++transferStep;
    // Nothing more goes out, even when the echo came under the joystick
    // report ID, which leaves the resend running.
    retryTimer.stop();
    emit onUpdateFailed(
        this, QCoreApplication::translate("ORV_wheel_tool", "CRC failed on chunk %1 of %2")
                  .arg(index)
                  .arg(count));
}
