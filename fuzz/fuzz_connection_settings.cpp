// Feeds arbitrary bytes to the connection settings as read back from the
// per-user store: the store file is replaced by the input, then every power
// supply type's values are loaded. No damaged store may leave the dialog
// without a board row or make it build rows without end. (Saving is not
// fuzzed here: every save syncs the store to disk and takes milliseconds.)
#include "persist/ConnectionSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString g_storeFile;

// The settings object keeps a parsed copy of a file until its size or time
// changes: every input gets a time of its own, so the next load reads it.
void replaceStore(const uint8_t *data, size_t size)
{
    static long long generation = 0;
    QFile f(g_storeFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    f.write(reinterpret_cast<const char *>(data), qint64(size));
    f.close();
    const timespec times[2] = { { 1000000000 + ++generation, 0 }, { 1000000000 + generation, 0 } };
    utimensat(AT_FDCWD, QFile::encodeName(g_storeFile).constData(), times, 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // In memory where there is such a file system: the store takes a lock
    // file for every settings object, which on a busy disk waits.
    static QTemporaryDir store(QDir(QStringLiteral("/dev/shm")).exists()
                                   ? QStringLiteral("/dev/shm/kebo-fuzz-settings-XXXXXX")
                                   : QDir::tempPath() + QStringLiteral("/kebo-fuzz-settings-XXXXXX"));
    const QString dir = store.path();
    QDir().mkpath(dir + QStringLiteral("/ORVE"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    g_storeFile = dir + QStringLiteral("/ORVE/App.conf");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    replaceStore(data, size);
    for (int type = 0; type < PsType::Count; ++type) {
        const ConnectionValues loaded = ConnectionSettings::loadTypeValues(type);
        if (loaded.psType != type)
            abort();
        for (const QVector<BoardRowValues> *rows :
             { &loaded.optRows, &loaded.ethRows, &loaded.pidRows, &loaded.j5910Rows })
            if (rows->isEmpty() || rows->size() > 1001)
                abort();
    }
    QString name;
    int type = -1;
    ConnectionSettings::loadNameAndType(&name, &type);
    return 0;
}
