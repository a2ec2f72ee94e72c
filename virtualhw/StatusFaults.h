// StatusFaults.h - standing fault conditions of channels and boards, the
// status bits each family reports them with, and the event status words.
#ifndef VIRTUALHW_STATUSFAULTS_H
#define VIRTUALHW_STATUSFAULTS_H

#include "orvehv/ORVEHVWrapper.h"
#include "virtualhw/VirtualControl.h"
#include "virtualhw/World.h"

namespace vhw {

// Whether a standing condition (interlock, external disable, kill) keeps the
// channel from being switched on.
bool switchOnInhibited(int systemType, const Channel &ch);

// The status record that goes with every event batch of a system.
ORVEHV_SYSTEMSTATUS_t eventStatusOf(const System &s);

} // namespace vhw

#endif
