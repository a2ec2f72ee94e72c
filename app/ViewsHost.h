#ifndef VIEWSHOST_H
#define VIEWSHOST_H

// What the views controller asks of the window that shows the systems: to
// show a sub-window in its views area and to make a system current. The
// main window implements it; the controller needs nothing else of it.

class QString;
class QSystemInterface;

class ViewsHost
{
public:
    virtual ~ViewsHost() = default;
    // Puts the system's channel sub-window into the views area (tabbed,
    // tiled or floated, as the area is).
    virtual void addSubWindow(QSystemInterface *sys) = 0;
    // Makes a system current: its sub-window, box, board page and status bar.
    virtual void setCurrentSubWindowIndex(int systemIndex) = 0;
    // Tells the operator in the status bar what an action did.
    virtual void showNotice(const QString &text) = 0;
};

#endif
