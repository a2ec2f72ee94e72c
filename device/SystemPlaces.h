#ifndef SYSTEMPLACES_H
#define SYSTEMPLACES_H

// At most four systems are connected at once. A VME HV board reached
// through a bridge and link that another VME HV board already uses joins
// that board's crate and takes no place of its own. The one rule for the
// connect action, for connecting, and for what a loaded configuration may
// tick.

#include <QList>
#include <QString>

namespace SystemPlaces {

constexpr int MaxSystems = 4;

// How a system is (or would be) reached.
struct Address
{
    int systemType = -1;
    QString connectionArgument;
};

// VME HV boards (system type 5) reached through the same bridge and link:
// the first two "_" fields of their connection arguments agree (a bridge
// number may have many digits: "12345_0_C0").
bool sameVmeBridge(const QString &argumentA, const QString &argumentB);

// Whether `candidate`, connected beside `present`, is a system of its own
// rather than a board joining a crate of `present`.
bool takesPlace(const Address &candidate, const QList<Address> &present);

// Places the systems take when connected in this order.
int placesTaken(const QList<Address> &systems);

} // namespace SystemPlaces

#endif
