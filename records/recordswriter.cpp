#include "recordswriter.h"
