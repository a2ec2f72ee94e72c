#include "device/OperatorMessage.h"

#include <QAbstractButton>
#include <QList>
#include <QPointer>
#include <QPushButton>

namespace {
OperatorMessageHook &hook()
{
    static OperatorMessageHook h;
    return h;
}
}  // namespace

void setOperatorMessageHook(OperatorMessageHook h)
{
    hook() = std::move(h);
}

int showOperatorMessage(const OperatorMessage &message, QWidget *parent)
{
    if (hook())
        return hook()(message);
    // The box is nobody's child: what asked for it (a dialog, a panel) may
    // be deleted while the box's event loop runs, and the operator must still
    // read the message. It is placed over the asking window instead.
    QPointer<QMessageBox> box = new QMessageBox(message.icon,
                                                message.title.isEmpty() ? QStringLiteral("KEBODESK") : message.title,
                                                message.text, QMessageBox::NoButton);
    box->setWindowModality(Qt::ApplicationModal);
    if (!message.informativeText.isEmpty())
        box->setInformativeText(message.informativeText);
    QList<QAbstractButton *> buttons;
    if (message.buttons.isEmpty())
        buttons.append(box->addButton(QMessageBox::Ok));
    for (const QString &text : message.buttons) {
        // Yes and No are the standard buttons, so they carry their shortcuts.
        if (text == QLatin1String("Yes"))
            buttons.append(box->addButton(QMessageBox::Yes));
        else if (text == QLatin1String("No"))
            buttons.append(box->addButton(QMessageBox::No));
        else
            buttons.append(box->addButton(text, QMessageBox::AcceptRole));
    }
    if (message.defaultButton >= 0 && message.defaultButton < buttons.size())
        box->setDefaultButton(qobject_cast<QPushButton *>(buttons.at(message.defaultButton)));
    if (parent && parent->window()->isVisible()) {
        box->adjustSize();
        const QRect over = parent->window()->frameGeometry();
        box->move(over.center() - box->rect().center());
    }
    box->exec();
    if (!box)
        return -1;
    const int pressed = int(buttons.indexOf(box->clickedButton()));
    delete box.data();
    return pressed;
}

bool askOperator(const QString &text, QWidget *parent)
{
    return showOperatorMessage({QMessageBox::Question, text, QStringLiteral("Are you sure?"),
                                {QStringLiteral("Yes"), QStringLiteral("No")}, 0},
                               parent)
           == 0;
}
