#ifndef PANELPICTURES_H
#define PANELPICTURES_H

// Pictures of the system panels. Every picture is a resource of the program;
// when one is missing (a build without the picture set, a renamed file) a
// plain picture of the same meaning is drawn instead, so a panel never shows
// an empty hole where a status lamp or arrow belongs.

#include <QPixmap>
#include <QSize>
#include <QString>

namespace PanelPictures {

// The resource at `path`, or a drawn stand-in of `size` chosen by the file
// name (lamps, arrows, module, system icons).
QPixmap load(const QString &path, const QSize &size);

// The stand-in alone (used by tests and by load()).
QPixmap drawn(const QString &path, const QSize &size);

} // namespace PanelPictures

#endif
