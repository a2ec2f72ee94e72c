#include "panels/WebPageLoader.h"

#include "panels/WebPageEntry.h"

#include <dlfcn.h>

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
