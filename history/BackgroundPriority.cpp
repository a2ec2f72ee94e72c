#include "history/BackgroundPriority.h"

#include <QThread>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {
// Linux weighs a thread of nice 10 at about a tenth of one of nice 0, so it
// still progresses under load (its queue stays bounded) but never takes a
// core from the event loop for long. A thread may always lower itself.
constexpr int BackgroundNice = 10;
}

void lowerThisThreadBelowInteractive()
{
#ifdef __linux__
    // The nice value is per thread on Linux; Qt's priorities map to nothing
    // under the default scheduler, so the thread lowers itself by id.
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), BackgroundNice);
#else
    if (QThread *t = QThread::currentThread())
        t->setPriority(QThread::LowestPriority);
#endif
}
