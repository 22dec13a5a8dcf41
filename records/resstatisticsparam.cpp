#include "resstatisticsparam.h"
