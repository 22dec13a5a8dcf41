#include "modalhook.h"

#include <QMutex>

namespace {
QMutex gHookMutex;
modal::Hook& hookSlot()
{
    static modal::Hook hook;
    return hook;
}
modal::TextHook& textHookSlot()
{
    static modal::TextHook hook;
    return hook;
}
}

namespace modal {
void setHook(Hook hook)
{
    QMutexLocker lock(&gHookMutex);
    hookSlot() = std::move(hook);
}

bool hooked()
{
    QMutexLocker lock(&gHookMutex);
    return static_cast<bool>(hookSlot());
}

int answer(const ModalRequest& request)
{
    Hook hook;
    {
        QMutexLocker lock(&gHookMutex);
        hook = hookSlot();
    }
    return hook ? hook(request) : 0;
}

void setTextHook(TextHook hook)
{
    QMutexLocker lock(&gHookMutex);
    textHookSlot() = std::move(hook);
}

std::optional<QString> answerText(const ModalRequest& request)
{
    TextHook hook;
    {
        QMutexLocker lock(&gHookMutex);
        hook = textHookSlot();
    }
    if (!hook)
        return std::nullopt;
    return hook(request);
}
}
