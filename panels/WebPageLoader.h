#ifndef WEBPAGELOADER_H
#define WEBPAGELOADER_H

// Builds the web administration page dialog from the web page library,
// loaded on first use so that the web engine costs nothing in a session that
// never shows a web page. The engine needs the shared OpenGL context that
// Qt::AA_ShareOpenGLContexts makes: set before the application object.

#include <QString>

class QDialog;
class QUrl;
class QWidget;

namespace WebPageLoader {

// The dialog, or null with the reason in `error` (the library or its engine
// missing on this machine).
QDialog *createDialog(QWidget *parent, const QUrl &baseAddress, const QString &user, const QString &password,
                      QString *error);

} // namespace WebPageLoader

#endif
