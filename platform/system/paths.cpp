#include "paths.h"

Paths& paths()
{
    static Paths p;
    return p;
}
