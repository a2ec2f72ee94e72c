// The one function the program looks up after loading this library.

#include "panels/WebPageEntry.h"
#include "panels/web/QWebBrowserDialog.h"

extern "C" Q_DECL_EXPORT QDialog *KEBO_WEBPAGE_ENTRY(QWidget *parent, const QUrl &baseAddress, const QString &user,
                                                     const QString &password)
{
    return new QWebBrowserDialog(parent, baseAddress, user, password);
}
