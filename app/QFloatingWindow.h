#ifndef QFLOATINGWINDOW_H
#define QFLOATINGWINDOW_H

// A channel table floated out of the views area as a window of its own. It
// cannot be closed from its title bar: the table returns into the views area
// when the operator picks "Tabbed" or "Tiled".

#include <QMainWindow>

class QFloatingWindow : public QMainWindow
{
    Q_OBJECT
public:
    QFloatingWindow(QWidget *parent, int index, const QString &title);

    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int m_index;
};

#endif
