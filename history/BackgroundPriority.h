#pragma once

// Threads that store or pass on values (the archive writer, the publisher)
// run below the GUI and event threads: when the cores are busy, their values
// wait in their queues (where they merge, newest wins) instead of the
// operator's event loop waiting for a core. Call it first thing in the
// thread's own run.
void lowerThisThreadBelowInteractive();
