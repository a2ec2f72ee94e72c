#ifndef ARCHIVETESTSUPPORT_H
#define ARCHIVETESTSUPPORT_H

// Shared by the history tests: archive options on a file of a temporary
// folder, values read back from a file, and a file system that fills up.

#include "history/Archive.h"
#include "history/ArchiveReader.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/resource.h>
#include <csignal>

namespace history_test {

inline ArchiveOptions optionsFor(const QString &path)
{
    ArchiveOptions o;
    o.path = path;
    o.commitIntervalMs = 50;
    return o;
}

inline QVector<double> valuesOf(const QVector<QPointF> &points)
{
    QVector<double> out;
    for (const QPointF &p : points)
        out.append(p.y());
    return out;
}

// A folder whose file system has only `bytes` of room: a tmpfs of that size
// where mounting is allowed, else the process may not grow any file beyond
// `bytes` (the kernel refuses the write as on a full disk). Undone on
// destruction.
class FullDisk
{
public:
    explicit FullDisk(qint64 bytes)
    {
        // The call itself, not the mount program: no child process, which
        // the race detector cannot follow.
        const QByteArray size = "size=" + QByteArray::number(bytes);
        m_mounted = m_dir.isValid()
                    && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, size.constData()) == 0;
        if (!m_mounted) {
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &m_old);
            rlimit small = m_old;
            small.rlim_cur = rlim_t(bytes);
            m_limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
        }
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
        if (m_limited)
            setrlimit(RLIMIT_FSIZE, &m_old);
    }
    bool isReady() const { return m_dir.isValid() && (m_mounted || m_limited); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString how() const { return m_mounted ? QStringLiteral("tmpfs") : QStringLiteral("file size limit"); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_limited = false;
    rlimit m_old{};
};

} // namespace history_test

#endif
