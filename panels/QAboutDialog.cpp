#include "panels/QAboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#ifndef KEBO_VERSION
#define KEBO_VERSION "1.0.0"
#endif

QAboutDialog::QAboutDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About KEBODESK"));
    setModal(true);

    // The logo is drawn for a dark band.
    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("aboutLogo"));
    logo->setPixmap(QPixmap(QStringLiteral(":/Resources/Elementi/logo_head.png")));
    logo->setAlignment(Qt::AlignCenter);
    logo->setMinimumHeight(64);
    logo->setStyleSheet(QStringLiteral("background-color: #1d2a38;"));

    auto *name = new QLabel(QStringLiteral("KEBO DESK"), this);
    name->setObjectName(QStringLiteral("aboutName"));
    name->setAlignment(Qt::AlignCenter);
    name->setStyleSheet(QStringLiteral("font: bold 18pt;"));
    auto *version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setAlignment(Qt::AlignCenter);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(logo);
    layout->addSpacing(8);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    setFixedWidth(360);
}

QString QAboutDialog::versionText()
{
    return QStringLiteral("Version %0").arg(QStringLiteral(KEBO_VERSION));
}
