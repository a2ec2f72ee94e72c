#ifndef ORVEHVSWITCH_H
#define ORVEHVSWITCH_H

// Painted on/off switch for on/off board parameters and system properties:
// a rounded track with a sliding knob and the state text.

#include <QAbstractButton>
#include <QString>

class ORVEHVSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ORVEHVSwitch(const QString &onText = QString(), const QString &offText = QString(),
                          QWidget *parent = nullptr);

    void setOnText(const QString &t);
    void setOffText(const QString &t);
    QString onText() const { return m_onText; }
    QString offText() const { return m_offText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void syncText();

    QString m_onText;
    QString m_offText;
};

#endif
