// Qt is not built with the race detector, so hand-overs inside Qt itself
// are invisible to it: a QThread's own wait condition (woken when the thread
// finishes, destroyed with the QThread object after wait()) and the test
// library's watchdog thread. Our own hand-overs are annotated where they
// happen (device/EventThreadSync.h); only these Qt internals are silenced.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n";
}
