#include "UsbManagerReaderThread.h"

#include "UsbManager.h"

UsbManagerReaderThread::UsbManagerReaderThread(UsbManager* manager)
    : QThread(nullptr), manager(manager)
{}

void UsbManagerReaderThread::run()
{
    manager->readerThreadLoop();
}
