#ifndef QTECHINFODIALOG_H
#define QTECHINFODIALOG_H

// A mainframe's technical information: firmware, power module, supply
// voltage and front panel, as read when the dialog opened. Deletes itself
// when closed. QTechInfoB8181Dialog adds the rack's logic release and AC/DC
// status.

#include <QDialog>
#include <QMap>

class ORVEHVNode;
class QLabel;

class QTechInfoDialog : public QDialog
{
    Q_OBJECT
public:
    QTechInfoDialog(QWidget *parent, const ORVEHVNode *systemNode);

    // The shown text of a property ("FwRelease", ...); empty when not shown.
    QString shownValue(const QString &property) const;

protected:
    QTechInfoDialog(QWidget *parent, const ORVEHVNode *systemNode, bool rack);

private:
    QMap<QString, QLabel *> m_values;
};

#endif
