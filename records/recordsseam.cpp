#include "recordsseam.h"

#include "usermanager.h"

namespace {
UserManager& userStore()
{
    if (!UserManager::instance)
        UserManager::instance = new UserManager;
    return *UserManager::instance;
}
}

void RecordsSeam::openUserStore()
{
    userStore();
}

void RecordsSeam::logOutUser()
{
    userStore().LogOut();
}
