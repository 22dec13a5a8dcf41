#pragma once
// The records subsystem as the main window reaches it (RecordsPort): the
// program's start-up installs one before the window is built.  GUI thread
// only.
#include "recordsport.h"

class RecordsSeam : public RecordsPort {
public:
    // UserManager::instance, made (and its file opened) when it does not
    // exist yet.
    void openUserStore() override;
    // Nobody logged in; the store is made first when it does not exist yet.
    void logOutUser() override;
};
