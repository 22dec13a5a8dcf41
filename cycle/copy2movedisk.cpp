#include "copy2movedisk.h"

Copy2MoveDisk* Copy2MoveDisk::_instance = nullptr;

Copy2MoveDisk* Copy2MoveDisk::instance()
{
    if (!_instance)
        _instance = new Copy2MoveDisk(nullptr);
    return _instance;
}

Copy2MoveDisk::Copy2MoveDisk(QObject* parent) : QObject(parent)
{
    if (!_instance)
        _instance = this;
}

void Copy2MoveDisk::start()
{
    // The copy passes (mount the USB disk, copy the queued pictures) join
    // here with the detection cycle; until then the worker only exists.
    started_ = true;
}
