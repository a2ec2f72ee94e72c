#ifndef ADDRESSFIELDKEYS_H
#define ADDRESSFIELDKEYS_H

// The keyboard of an address typed into four byte fields, as the operator
// types it: "." (or the keypad's decimal key) moves on to the next field, so
// that typing 192.0.2.10 fills the four fields; Backspace in an empty field
// goes back to the one before.

#include <QList>
#include <QObject>

class QLineEdit;

class AddressFieldKeys : public QObject
{
    Q_OBJECT
public:
    // The fields in order; the filter belongs to `parent`.
    AddressFieldKeys(const QList<QLineEdit *> &fields, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moveTo(int index, bool selectAll);

    QList<QLineEdit *> m_fields;
};

#endif
