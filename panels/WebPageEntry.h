#ifndef WEBPAGEENTRY_H
#define WEBPAGEENTRY_H

// What the program and the web page library agree on: the library's file
// name and the function that builds the dialog (modeless, deletes itself when
// closed).

#include <QtGlobal>

class QDialog;
class QString;
class QUrl;
class QWidget;

#define KEBO_WEBPAGE_LIBRARY "libkebodesk-webpage.so"
#define KEBO_WEBPAGE_ENTRY keboCreateWebPageDialog
#define KEBO_WEBPAGE_ENTRY_NAME "keboCreateWebPageDialog"

using WebPageEntry = QDialog *(*)(QWidget *parent, const QUrl &baseAddress, const QString &user,
                                  const QString &password);

#endif
