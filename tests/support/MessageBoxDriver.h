#ifndef MESSAGEBOXDRIVER_H
#define MESSAGEBOXDRIVER_H

// Answers the program's real message boxes, for tests that must run the
// nested event loop a box opens (no operator message hook installed). A
// zero-time timer records each new active modal box and answers it with the
// next planned Answer (its first button when none is planned). An Answer may
// first inject something (a board pulled, a connection dropped): the box's own
// loop then delivers what that caused, and the button is clicked once `until()`
// holds, or after five seconds. Boxes opening on top meanwhile are answered first.

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace live_test {

class MessageBoxDriver : public QObject
{
public:
    struct Answer
    {
        QString button;                  // text of the button to click ("" = the first)
        std::function<void()> inject;    // run once, inside the box's loop
        std::function<bool()> until;     // clicked once this holds
    };

    MessageBoxDriver()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
    }

    void plan(const Answer &answer) { m_plan.append(answer); }
    // Texts of the boxes seen, in the order they opened.
    const QStringList &texts() const { return m_texts; }
    bool planDone() const { return m_plan.isEmpty() && !m_current.box; }

private:
    struct Pending
    {
        QPointer<QMessageBox> box;
        Answer answer;
        QDeadlineTimer deadline;
    };

    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // A box not seen yet: record it and take its answer.
        if (box && box->isVisible() && !m_seen.contains(box)) {
            m_seen.append(box);
            m_texts.append(box->text());
            Pending p;
            p.box = box;
            p.answer = m_plan.isEmpty() ? Answer{} : m_plan.takeFirst();
            p.deadline = QDeadlineTimer(5000);
            if (m_current.box)
                m_stack.append(m_current);
            m_current = p;
            if (m_current.answer.inject) {
                // Delivered by the box's loop once this timer call returns.
                m_current.answer.inject();
                return;
            }
        }
        // Only the topmost box can be answered; the ones below wait.
        if (!m_current.box) {
            popStack();
            return;
        }
        if (box != m_current.box.data())
            return;
        if (m_current.answer.until && !m_current.answer.until() && !m_current.deadline.hasExpired())
            return;
        click(m_current.box, m_current.answer.button);
        m_current = Pending();
        popStack();
    }

    void popStack()
    {
        while (!m_current.box && !m_stack.isEmpty())
            m_current = m_stack.takeLast();
    }

    static void click(QMessageBox *box, const QString &text)
    {
        const QList<QAbstractButton *> buttons = box->buttons();
        for (QAbstractButton *b : buttons) {
            if (text.isEmpty() || b->text().remove(QLatin1Char('&')) == text) {
                b->click();
                return;
            }
        }
        box->reject();
    }

    QTimer m_timer;
    QList<Answer> m_plan;
    Pending m_current;
    QList<Pending> m_stack;
    QList<QPointer<QMessageBox>> m_seen;
    QStringList m_texts;
};

}  // namespace live_test

#endif
