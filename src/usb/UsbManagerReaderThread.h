#pragma once

#include <QThread>

class UsbManager;

// The one thread that reads every open device for the manager.
class UsbManagerReaderThread : public QThread
{
public:
    explicit UsbManagerReaderThread(UsbManager* manager);

protected:
    void run() override;

private:
    UsbManager* const manager;
};
