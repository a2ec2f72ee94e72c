#include "device/SystemPlaces.h"

#include "ORVEHVWrapper.h"

#include <QStringList>

namespace SystemPlaces {

bool sameVmeBridge(const QString &argumentA, const QString &argumentB)
{
    const QStringList a = argumentA.split(QLatin1Char('_'));
    const QStringList b = argumentB.split(QLatin1Char('_'));
    if (a.size() < 2 || b.size() < 2)
        return false;
    return a.at(0) == b.at(0) && a.at(1) == b.at(1);
}

bool takesPlace(const Address &candidate, const QList<Address> &present)
{
    if (candidate.systemType != ORVEHV_SYS_VMEHV)
        return true;
    for (const Address &other : present)
        if (other.systemType == ORVEHV_SYS_VMEHV && sameVmeBridge(other.connectionArgument, candidate.connectionArgument))
            return false;
    return true;
}

int placesTaken(const QList<Address> &systems)
{
    int places = 0;
    for (qsizetype i = 0; i < systems.size(); ++i)
        if (takesPlace(systems.at(i), systems.mid(0, i)))
            ++places;
    return places;
}

} // namespace SystemPlaces
