#include "terminator.h"

#include <cstdlib>

namespace {
terminator::Handler& handlerSlot()
{
    static terminator::Handler h;
    return h;
}
}

namespace terminator {
void setHandler(Handler h) { handlerSlot() = std::move(h); }

void exitProcess(int status)
{
    if (handlerSlot())
        handlerSlot()(status);
    else
        std::exit(status);
}
}
