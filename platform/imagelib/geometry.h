#pragma once
// The picture geometry the image library works in.  The library sits below
// the core, so it cannot read the core's globals; the core copies them here
// whenever it changes them (and tests set them directly).
namespace kvor {

struct Geometry {
    int showW = 1280;          // view (screen) width, view pixels
    int showH = 800;           // view height
    double showAW = 1.0;       // view x per image x
    double showAH = 800.0 / 1024.0; // view y per image y
    int imageW = 1280;         // frame width, image pixels
    int imageH = 1024;         // frame height
};

const Geometry& geometry();
void setGeometry(const Geometry& g);

} // namespace kvor
