// StatusFaults.h - standing fault conditions of channels and boards, the
// status bits each family reports them with, and the event status words.
#ifndef VIRTUALHW_STATUSFAULTS_H
#define VIRTUALHW_STATUSFAULTS_H

#include "orvehv/ORVEHVWrapper.h"
#include "virtualhw/VirtualControl.h"
#include "virtualhw/World.h"

namespace vhw {

// Whether a standing condition (interlock, external disable, kill, the
// crate's 48 V supply switched off) keeps the channel from being switched on.
bool switchOnInhibited(const System &s, const Channel &ch);

// Whether the crate's 48 V supply ("ACDCPwr") is switched off. Systems
// without the switch always have their supply.
bool hvSupplyOff(const System &s);
// The power-fail bit every channel / board word of the system shows while
// its supply is off (0 when the family has no such bit or the supply is on).
int supplyChannelBits(const System &s);
int supplyBoardBits(const System &s);

// The status record that goes with every event batch of a system.
ORVEHV_SYSTEMSTATUS_t eventStatusOf(const System &s);

} // namespace vhw

#endif
