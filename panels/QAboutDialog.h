#ifndef QABOUTDIALOG_H
#define QABOUTDIALOG_H

// Help > "About..": the product name, its version and the logo.

#include <QDialog>

class QAboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QAboutDialog(QWidget *parent = nullptr);

    static QString versionText();
};

#endif
