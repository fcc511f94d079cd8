#pragma once

#include "OrvUsbDeviceInfo.h"
#include "UsbCommand.h"
#include "UsbDevice.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// A wheel base or pedals restarted into the bootloader that takes new firmware.
// An update sends the image in 32-byte chunks, each guarded by a CRC and each
// sent only after the device has echoed its predecessor intact.
class UsbDeviceOrvBootloader : public UsbDevice
{
    Q_OBJECT

public:
    static constexpr uint8_t ProtocolVersion = 2;
    static constexpr int ChunkSize = 32;
    static constexpr int TailSize = 16;
    // Chunk index and count travel as signed 16-bit numbers.
    static constexpr int MaxChunks = 32767;
    static constexpr int MaxImageSize = MaxChunks * ChunkSize;

    // Byte positions in a chunk command and in the device's echo of it.
    static constexpr int DataOffset = 2;
    static constexpr int IndexOffset = 34;
    static constexpr int CountOffset = 36;
    static constexpr int CrcOffset = 38;
    static constexpr int TailFlagOffset = 42;
    static constexpr int TailOffset = 43;

    UsbDeviceOrvBootloader(QString path, hid_device* device);

    void handleReport(OrvUsbReport* report, uint64_t readTimeMicros) override;

    // The image with zero bytes appended up to a whole number of chunks.
    static QByteArray padToChunks(QByteArray image);
    // Fills the 64-byte command with chunk index of a padded image, or with
    // the closing command (index = count = chunk count, all else zero) when
    // index is not a chunk of the image.
    static void buildChunkCommand(const QByteArray& paddedImage, int index, uint8_t* command);
    // Why an image of this many bytes is refused.
    static QString imageTooLargeMessage(qint64 bytes);

    OrvUsbDeviceInfo deviceInfo = {};
    QByteArray firmware;

signals:
    void onSettingsLoaded(UsbDevice* device);
    void onFirmwareUpdateStarted(int chunks);
    void onFirmwareUpdateProgress(int currentChunk, int totalChunks);
    void onUpdateCompleted(UsbDevice* device);
    void onUpdateFailed(UsbDevice* device, const QString& errorMessage);

public slots:
    void exitBootloader();
    void resetToFactoryDefaults();
    void loadSettings();
    void updateFirmware(QByteArray newFirmwareBytes);

private:
    int chunkCount() const { return static_cast<int>(firmware.size() / ChunkSize); }
    // A command of the bootloader's protocol with one payload byte set.
    void sendCommand(UsbCommand code, int byte, uint8_t value, bool expectReply);
    void sendChunk(int index);
    // True for the echo of the chunk the update waits for.
    bool namesChunkOfUpdate(const OrvUsbReport& report) const;
    void handleChunkEcho(const OrvUsbReport& echo);

    // The chunk whose echo the update waits for; -1 when it waits for none.
    int awaitedChunk = -1;
    // Moves on with every step of an update, so a step can tell whether a
    // signal receiver ran the event loop and a report moved the update on.
    unsigned transferStep = 0;
};
