#ifndef WINDOWTITLEFIT_H
#define WINDOWTITLEFIT_H

// Widens a window whose title the window manager would cut short ("Reset
// Fla…figuration"): when a window is shown, or its title changes while it is,
// it becomes at least as wide as its title needs beside the frame's icon and
// buttons, as far as its maximum width and the screen allow. Installed on the
// application by the main window.

#include <QObject>
#include <QString>

class WindowTitleFit : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // The width a window needs to show `title` whole in its title bar.
    static int widthFor(const QString &title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

#endif
