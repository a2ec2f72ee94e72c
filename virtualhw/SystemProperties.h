// SystemProperties.h - the live system properties of a mainframe: CPU load,
// memory and command queue drift as on a working controller and go out as
// value events like every other change.
#ifndef VIRTUALHW_SYSTEMPROPERTIES_H
#define VIRTUALHW_SYSTEMPROPERTIES_H

#include <string>

namespace vhw {

class Engine;
struct System;

// Seconds of simulated time between two updates of the drifting texts.
constexpr double kPropertyDriftPeriod = 2.0;

// Texts of the drifting properties at simulated time t for a system with
// `channelsOn` channels switched on (pure, so the formats can be checked).
std::string cpuLoadText(double t, int channelsOn);
std::string memoryStatusText(double t, int channelsOn);
std::string cmdQueueText(double t, int openHandles);

// Called by the engine after every physics step (engine lock held): once
// per period updates the drifting properties that are subscribed (a value
// nobody watches, or one a test has just set, stays as it is).
void driftSystemProperties(Engine &engine, System &s, double simTime, double dt);

} // namespace vhw

#endif
