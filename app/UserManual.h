#ifndef USERMANUAL_H
#define USERMANUAL_H

// Finding and opening the user manual (a PDF built with the program). It is
// looked for in the working folder, beside the program, in the installation's
// documentation folder and in the build tree, in that order.

#include "device/OperatorMessage.h"

#include <QStringList>
#include <QUrl>
#include <functional>

namespace UserManual {

QString fileName();
// The folders searched, for a program in `programDir`.
QStringList places(const QString &programDir);
// The first manual found in `places`; empty when there is none.
QString find(const QStringList &places);
// Opens the manual found in `places` with `open` (the desktop's handler).
// Returns what to tell the operator when there is none or it could not be
// shown; an empty text when it was opened.
OperatorMessage open(const QStringList &places, const std::function<bool(const QUrl &)> &open);

} // namespace UserManual

#endif
