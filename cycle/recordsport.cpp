#include "recordsport.h"

namespace {
RecordsPort* gPort = nullptr;
}

void setRecordsPort(RecordsPort* port) { gPort = port; }
RecordsPort* recordsPort() { return gPort; }
