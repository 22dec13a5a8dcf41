#include "detectcyclesql.h"
