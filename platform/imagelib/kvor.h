#pragma once
// The whole image library: shapes, pixel conversions, blobs, matchers and
// positioning.
#include "blobresult.h"
#include "findshape.h"
#include "geometry.h"
#include "graymatch.h"
#include "imageconvert.h"
#include "shapes.h"
#include "similarity.h"
