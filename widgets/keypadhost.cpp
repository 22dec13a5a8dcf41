#include "keypadhost.h"

#include "edit.h"

namespace {
KeypadHost* gHost = nullptr;
}

KeypadHost& keypadHost()
{
    static StandaloneKeypadHost standalone;
    return gHost ? *gHost : standalone;
}

void setKeypadHost(KeypadHost* host)
{
    gHost = host;
}

Edit* StandaloneKeypadHost::keypadTarget() const
{
    return target_;
}

void StandaloneKeypadHost::setKeypadTarget(Edit* field)
{
    target_ = field;
}
