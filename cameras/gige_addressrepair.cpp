#include "gige_addressrepair.h"

#include "camerahost.h"
#include "commandrunner.h"

#include <QtGlobal>

GigeAddressRepair::GigeAddressRepair(GigeRepairEnv repair, EnsureReachEnv reach)
    : repair_(std::move(repair)), reach_(std::move(reach))
{
}

int GigeAddressRepair::RepairAllCameraIP()
{
    std::vector<GigeRepairOutcome> outcomes;
    const int repaired = ::RepairAllCameraIP(repair_, &outcomes);
    // A camera left outside its subnet because no address could be verified
    // free, or because it has no MAC to address, stays unreachable: the
    // operator finds why in the record.
    for (const GigeRepairOutcome& o : outcomes) {
        const bool gaveUp = o.result == GigeRepairOutcome::AllInUse
            || o.result == GigeRepairOutcome::ProbeFailed || o.result == GigeRepairOutcome::NoCandidate
            || o.result == GigeRepairOutcome::NoMac;
        if (gaveUp && gpCameraHost)
            gpCameraHost->insertRecord(o.text());
    }
    return repaired;
}

int GigeAddressRepair::EnsureDeviceReach()
{
    return ::EnsureDeviceReach(reach_);
}

QStringList gigeAllowedInterfacesFromEnvironment()
{
    QStringList out;
    for (const QString& s : qEnvironmentVariable("MOULDMON_GIGE_INTERFACES").split(QLatin1Char(',')))
        if (!s.trimmed().isEmpty())
            out << s.trimmed();
    return out;
}

std::shared_ptr<AddressRepair> makeGigeAddressRepairFromEnvironment()
{
    if (!panelModeEnabled())
        return nullptr;
    const QStringList allowed = gigeAllowedInterfacesFromEnvironment();
    if (allowed.isEmpty())
        return nullptr;
    return std::make_shared<GigeAddressRepair>(GigeRepairEnv::system(allowed),
                                               EnsureReachEnv::system(allowed));
}
