#include "persist/QLoadCustDialog.h"

#include "persist/ViewFiles.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

QString QLoadCustDialog::systemTypeText(int psType)
{
    switch (psType) {
    case 2:
    case 3:
        return QStringLiteral("MF3300 / MF3500");
    case 5:
        return QStringLiteral("VME HV");
    case 6:
        return QStringLiteral("NIM / DESKTOP HV");
    case 9:
        return QStringLiteral("DK31XX HV");
    case 11:
        return QStringLiteral("DK31XXE HV");
    case 16:
        return QStringLiteral("B8181");
    default:
        return QString();
    }
}

QString QLoadCustDialog::linkTypeText(int connType)
{
    switch (connType) {
    case 0:
        return QStringLiteral("TCP/IP");
    case 3:
        return QStringLiteral("USB");
    case 4:
        return QStringLiteral("PCI OPTICAL LINK");
    case 5:
        return QStringLiteral("VCP USB");
    default:
        return QString();
    }
}

QLoadCustDialog::QLoadCustDialog(const QString &configurationPath, const QList<SystemPlaces::Address> &connected,
                                 QWidget *parent)
    : QDialog(parent)
    , m_connected(connected)
{
    setObjectName(QStringLiteral("loadCustDialog"));
    setWindowTitle(QStringLiteral("Load Configuration"));
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QVBoxLayout;
    layout->addLayout(grid);

    const QString folder = ViewFiles::viewFolder(configurationPath, false);
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.%1").arg(QLatin1String(ViewFiles::ViewExtension))}, QDir::Files,
                               QDir::Name);

    for (const QString &file : files) {
        Row row;
        QString why;
        if (!ViewFiles::readViewFile(folder + QLatin1Char('/') + file, &row.hash, &why)) {
            m_problems.append(QStringLiteral("%1: %2").arg(file, why));
            continue;
        }
        const int psType = row.hash.value(QStringLiteral("psType")).toInt();
        const QString argument = row.hash.value(QStringLiteral("initParam")).toString();
        row.customView = row.hash.value(QStringLiteral("isCustomView")).toInt() != 0;
        row.address = {psType, argument};
        for (const SystemPlaces::Address &c : connected)
            row.connected = row.connected || (!row.customView && c.connectionArgument == argument);

        row.widget = new QWidget;
        row.widget->setObjectName(QStringLiteral("widgetRow"));
        auto *line = new QGridLayout(row.widget);
        line->setContentsMargins(4, 2, 4, 2);
        row.box = new QCheckBox(row.hash.value(QStringLiteral("name")).toString());
        row.box->setObjectName(row.customView ? QStringLiteral("CustomView") : QStringLiteral("system"));
        line->addWidget(row.box, 0, 0);
        line->addWidget(new QLabel(systemTypeText(psType)), 0, 1);
        line->addWidget(new QLabel(linkTypeText(row.hash.value(QStringLiteral("connType")).toInt())), 0, 2);
        line->addWidget(new QLabel(argument), 0, 3);
        if (!row.customView && (psType == 2 || psType == 3 || psType == 16)) {
            row.user = new QLineEdit;
            row.user->setObjectName(QStringLiteral("user"));
            row.pass = new QLineEdit;
            row.pass->setObjectName(QStringLiteral("pass"));
            row.pass->setEchoMode(QLineEdit::Password);
            line->addWidget(new QLabel(QStringLiteral("Username")), 0, 4);
            line->addWidget(row.user, 0, 5);
            line->addWidget(new QLabel(QStringLiteral("Password")), 0, 6);
            line->addWidget(row.pass, 0, 7);
        }
        line->setColumnStretch(3, 1);
        grid->addWidget(row.widget);
        m_rows.append(row);
    }

    // Every row starts ticked; those beyond the limit, in file order, not.
    for (Row &row : m_rows) {
        row.box->setChecked(true);
        if (row.connected) {
            // Connected already: only its view is applied.
            row.box->setEnabled(false);
            if (row.user) {
                row.user->setEnabled(false);
                row.pass->setEnabled(false);
            }
        }
        connect(row.box, &QCheckBox::toggled, this, &QLoadCustDialog::applyLimit);
    }
    applyLimit();

    if (!m_problems.isEmpty()) {
        auto *problems = new QLabel(QStringLiteral("These view files cannot be used:\n%1")
                                        .arg(m_problems.join(QLatin1Char('\n'))));
        problems->setObjectName(QStringLiteral("problems"));
        problems->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
        problems->setWordWrap(true);
        layout->addWidget(problems);
    }
    if (m_rows.isEmpty() && m_problems.isEmpty())
        layout->addWidget(new QLabel(QStringLiteral("No view files found in %1").arg(QDir::toNativeSeparators(folder))));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(!m_rows.isEmpty());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void QLoadCustDialog::applyLimit()
{
    // The systems that will be there: the connected ones, then the ticked
    // rows in order (a board row may join a crate of either).
    QList<SystemPlaces::Address> present = m_connected;
    int places = SystemPlaces::placesTaken(present);
    for (const Row &row : std::as_const(m_rows)) {
        if (row.customView || row.connected || !row.box->isChecked())
            continue;
        if (SystemPlaces::takesPlace(row.address, present)) {
            if (places >= SystemPlaces::MaxSystems) {
                // Beyond the limit (every row starts ticked).
                const QSignalBlocker quiet(row.box);
                row.box->setChecked(false);
                continue;
            }
            ++places;
        }
        present.append(row.address);
    }
    for (const Row &row : std::as_const(m_rows))
        if (!row.customView && !row.connected && !row.box->isChecked())
            row.box->setEnabled(places < SystemPlaces::MaxSystems
                                || !SystemPlaces::takesPlace(row.address, present));
}

QList<QWidget *> QLoadCustDialog::rows() const
{
    QList<QWidget *> out;
    for (const Row &row : m_rows)
        out.append(row.widget);
    return out;
}

QCheckBox *QLoadCustDialog::checkBoxOf(QWidget *row) const
{
    for (const Row &r : m_rows)
        if (r.widget == row)
            return r.box;
    return nullptr;
}

QList<QLoadCustDialog::Entry> QLoadCustDialog::chosenEntries() const
{
    QList<Entry> out;
    for (const Row &row : m_rows) {
        if (!row.box->isChecked())
            continue;
        out.append({row.hash, row.user ? row.user->text() : QString(), row.pass ? row.pass->text() : QString()});
    }
    return out;
}
