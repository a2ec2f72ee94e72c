#ifndef EVENTDATATHREAD_H
#define EVENTDATATHREAD_H

// The event-data thread of one system: reads event batches from the
// system's event connection and turns every record into a router signal.
// It starts the system's log writer thread, ends when stopRequested is set
// or the event source fails (then eventsEnabled is cleared and, unless the
// operator asked for the stop, systemDisconnected(sys, 0) is emitted once).

#include "ORVEHVWrapper.h"

class EventRouter;
class QSystemInterface;
class QThread;

namespace EventData {

// Emits the signals of one batch: systemEvStatus once, then one signal per
// record of type 0, 1 or 3 (keep-alives and unknown types give none).
// isFirstEv stays true until a record of type 0 to 3 has been handled;
// isLastEv is true for the last value or live-insertion record of the array
// (a trailing keep-alive, transparent-mode or unknown record never hides it).
void dispatchBatch(EventRouter *router, QSystemInterface *sys, const ORVEHV_SYSTEMSTATUS_t &status,
                   const IDValue_t *records, unsigned int count);

// The thread body.
void run(EventRouter *router, QSystemInterface *sys);

// Creates and starts the thread (not stored anywhere: the caller stores it
// in sys->eventThread under the event server's systems mutex).
QThread *start(EventRouter *router, QSystemInterface *sys);

} // namespace EventData

// Ends the system's event-data and log writer threads before the interface
// may be deleted: sets stopRequested, wakes a read blocked on the event
// connection, waits up to timeoutMs for each thread, closes the accepted
// event connection. Safe to call more than once and for systems that never
// had events. False when a thread did not end in time: the interface must
// then NOT be deleted (a thread still uses it).
bool stopEventThreads(QSystemInterface *sys, int timeoutMs = 5000);

#endif
