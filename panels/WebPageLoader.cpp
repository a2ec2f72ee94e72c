#include "panels/WebPageLoader.h"

#include "panels/WebPageEntry.h"

#include "ORVEHVWrapper.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// The same library looked up by its full path in the device library's
// folder, where it is built and installed: for a process whose dlopen()
// is intercepted (a sanitizer runtime), the program's run path is not
// searched.
void *openBesideDeviceLibrary()
{
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void *>(&ORVEHV_InitSystem), &info) || !info.dli_fname)
        return nullptr;
    const QString folder = QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/" KEBO_WEBPAGE_LIBRARY));
    return ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

namespace WebPageLoader {

QDialog *createDialog(QWidget *parent, const QUrl &baseAddress, const QString &user, const QString &password,
                      QString *error)
{
    // dlopen() called from the program itself searches the program's run
    // path (where the library is built and installed); QLibrary would search
    // the run path of Qt's own library instead. Loaded once, never unloaded:
    // the engine does not survive being unloaded.
    static WebPageEntry entry = nullptr;
    if (!entry) {
        void *library = ::dlopen(KEBO_WEBPAGE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            library = openBesideDeviceLibrary();
        if (library)
            entry = reinterpret_cast<WebPageEntry>(::dlsym(library, KEBO_WEBPAGE_ENTRY_NAME));
        if (!entry) {
            const char *reason = ::dlerror();
            if (error)
                *error = reason ? QString::fromLocal8Bit(reason) : QStringLiteral("no entry point");
            return nullptr;
        }
    }
    return entry(parent, baseAddress, user, password);
}

} // namespace WebPageLoader
