#ifndef EVENTTHREADSYNC_H
#define EVENTTHREADSYNC_H

// Hand-overs between the event threads that the race detector cannot see
// by itself because they happen inside Qt: a condition wait releases and
// re-takes its mutex, and QThread::wait() orders everything the thread did
// before what follows. Without a race detector these are plain calls.

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <QtCore/qtsan_impl.h>

namespace EventThreadSync {

// Guards the event server's list of systems and every interface's
// eventThread and eventSocket (the server thread starts the event-data
// threads, the GUI thread ends them).
inline QMutex &systemsMutex()
{
    static QMutex m;
    return m;
}

// QWaitCondition::wait(&mutex) with the release and re-lock made visible.
inline bool wait(QWaitCondition &condition, QMutex &mutex)
{
    QtTsan::mutexPreUnlock(&mutex, 0u);
    QtTsan::mutexPostUnlock(&mutex, 0u);
    const bool woken = condition.wait(&mutex);
    QtTsan::mutexPreLock(&mutex, 0u);
    QtTsan::mutexPostLock(&mutex, 0u, 0);
    return woken;
}

// The same with a deadline: false when it passed first.
inline bool wait(QWaitCondition &condition, QMutex &mutex, QDeadlineTimer deadline)
{
    QtTsan::mutexPreUnlock(&mutex, 0u);
    QtTsan::mutexPostUnlock(&mutex, 0u);
    const bool woken = condition.wait(&mutex, deadline);
    QtTsan::mutexPreLock(&mutex, 0u);
    QtTsan::mutexPostLock(&mutex, 0u, 0);
    return woken;
}

// Last call of a thread body started with QThread::create().
inline void threadEnds()
{
    QtTsan::futexRelease(QThread::currentThread());
}

// QThread::wait() with the thread's work ordered before the caller's.
inline bool join(QThread *thread, QDeadlineTimer deadline)
{
    const bool ended = thread->wait(deadline);
    if (ended)
        QtTsan::futexAcquire(thread);
    return ended;
}

} // namespace EventThreadSync

#endif
