#include "connect/AddressFieldKeys.h"

#include <QKeyEvent>
#include <QLineEdit>

AddressFieldKeys::AddressFieldKeys(const QList<QLineEdit *> &fields, QObject *parent)
    : QObject(parent), m_fields(fields)
{
    for (QLineEdit *f : fields)
        f->installEventFilter(this);
}

bool AddressFieldKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int index = m_fields.indexOf(static_cast<QLineEdit *>(watched));
    if (index < 0)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    QLineEdit *field = m_fields.at(index);
    if (key->text() == QLatin1String(".") || key->text() == QLatin1String(",")) {
        // An empty field keeps the focus: the dot would skip a byte.
        if (!field->text().isEmpty() && index + 1 < m_fields.size())
            moveTo(index + 1, true);
        return true;  // never typed: the fields hold digits only
    }
    if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && index > 0) {
        moveTo(index - 1, false);
        return true;
    }
    return false;
}

void AddressFieldKeys::moveTo(int index, bool selectAll)
{
    QLineEdit *next = m_fields.at(index);
    next->setFocus(Qt::OtherFocusReason);
    // forwards the next byte replaces what is there; backwards it is edited
    if (selectAll)
        next->selectAll();
    else
        next->end(false);
}
