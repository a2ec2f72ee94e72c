// Qt is not built with the race detector, so hand-overs inside Qt itself
// are invisible to it: a QThread's own wait condition (woken when the thread
// finishes, destroyed with the QThread object after wait()), the test
// library's watchdog thread, and Qt's thread pool (tasks created on the GUI
// thread, freed by a pooled thread: image scaling, the connection sequence's
// pooled reads). Our own hand-overs are annotated where they happen
// (device/EventThreadSync.h); only these Qt internals are silenced.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n"
           "race:QThreadPoolPrivate::enqueueTask\n"
           "race:QRunnable::create\n";
}
