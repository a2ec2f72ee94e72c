#ifndef OPERATORMESSAGE_H
#define OPERATORMESSAGE_H

// Every message box the program shows the operator goes through
// showOperatorMessage, from any layer: the box titled "KEBODESK", or the hook
// a test installs to answer it without a nested event loop. The box is no
// child of the widget that asks (which may go while the box is open): it is
// only placed over that widget's window.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

struct OperatorMessage
{
    QMessageBox::Icon icon = QMessageBox::Warning;
    QString text;
    QString informativeText;
    QStringList buttons;  // empty: one "OK" button
    // With buttons: the index of the default button (-1: none).
    int defaultButton = -1;
    // Window title; empty: "KEBODESK".
    QString title;
};

// Shows the message modally and returns the index of the pressed button in
// `buttons` (0 for the single "OK"), -1 when the box was closed otherwise.
int showOperatorMessage(const OperatorMessage &message, QWidget *parent = nullptr);

// The question every system command asks: `text`, "Are you sure?", Yes and
// No with Yes the default. True for Yes.
bool askOperator(const QString &text, QWidget *parent = nullptr);

// Tests answer every box through this hook (an empty hook restores the box).
using OperatorMessageHook = std::function<int(const OperatorMessage &)>;
void setOperatorMessageHook(OperatorMessageHook hook);

#endif
