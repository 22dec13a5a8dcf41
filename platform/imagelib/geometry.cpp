#include "geometry.h"

namespace kvor {

namespace {
Geometry gGeometry;
}

const Geometry& geometry()
{
    return gGeometry;
}

void setGeometry(const Geometry& g)
{
    gGeometry = g;
}

} // namespace kvor
