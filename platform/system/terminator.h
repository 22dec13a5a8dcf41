#pragma once
// Ends the process.  Tests replace it so that an exit path can be checked
// without the test process dying.
#include <functional>

namespace terminator {
using Handler = std::function<void(int status)>;
void setHandler(Handler h);   // empty: the default, which calls std::exit
void exitProcess(int status);
}
