#pragma once

#include "persist/ConnectionSettings.h"

#include <QDialog>
#include <QVector>

class QAutodetectDialog;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;
class SystemConnector;

// "Connect to System": turns a power supply type, a link and its parameters into
// connectToSystem calls, one per system or board row, and remembers the last
// values per type and link. Modeless; deletes itself when closed.
class QConnectDialog : public QDialog
{
    Q_OBJECT
public:
    // connector: where accepted connections go (the main window); without one,
    // accepting stores nothing and connects nothing. centreOn / toolBarHeight:
    // the dialog is centred on that widget, shifted down by the tool bar.
    explicit QConnectDialog(SystemConnector *connector, QWidget *parent = nullptr,
                            QWidget *centreOn = nullptr, int toolBarHeight = 0);
    ~QConnectDialog() override;

    // The values the fields hold now (what OK would connect).
    ConnectionValues currentValues() const;
    QString customName() const { return m_customName; }
    QAutodetectDialog *autodetectPanel() const { return m_autodetect; }

    // Board rows of each kind (for tests and the screenshots).
    int optRowCount() const { return m_optRows.size(); }
    int ethRowCount() const { return m_ethRows.size(); }
    int pidRowCount() const { return m_pidRows.size(); }
    int j5910RowCount() const { return m_j5910Rows.size(); }

public slots:
    void setCustomName();
    void connectToAddress();
    void checkFields();
    void addNewVMEHVConnectionParametersWidget();
    void addNewVMEHVETHConnectionParametersWidget();
    void addNewVMEHVPIDConnectionParametersWidget();
    void addNewVMEHVJ5910ConnectionParametersWidget();
    void removeLastVMEHVConnectionParametersWidget();
    void removeLastVMEHVETHConnectionParametersWidget();
    void removeLastVMEHVPIDConnectionParametersWidget();
    void removeLastVMEHVJ5910ConnectionParametersWidget();
    void selectConnectionParameterToShow();
    void setConnTypeItems();
    void showAutodetectDialog();

    // Used by the autodetect panel.
    void setIpAddress(const QString &address);
    void enableControls();
    void refreshAutodetectButton();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum RowKind { OptRow, EthRow, PidRow, J5910Row };
    struct BoardRow
    {
        QWidget *widget = nullptr;
        QLineEdit *name = nullptr;
        QSpinBox *opt1 = nullptr;
        QSpinBox *opt2 = nullptr;
        QLineEdit *pid = nullptr;
        QLineEdit *baseAddress = nullptr;
        QLabel *linkLabel = nullptr;
        QLabel *pidLabel = nullptr;
        QLabel *hexLabel = nullptr;
        QPushButton *plus = nullptr;
        QPushButton *minus = nullptr;
    };

    void buildForm();
    void buildParameterWidgets();
    QVector<BoardRow> &rowsOf(RowKind kind);
    QVBoxLayout *rowLayoutOf(RowKind kind);
    void addRow(RowKind kind);
    void removeLastRow(RowKind kind);
    void resetRows(RowKind kind, const QVector<BoardRowValues> &values);
    void updateRowButtons(RowKind kind);
    void updateRowFieldVisibility();
    QVector<BoardRowValues> rowValues(RowKind kind) const;
    void loadTypeValues();
    void applyLoaded(const ConnectionValues &v);
    void setScanControls(bool scanning);
    void centre();

    SystemConnector *m_connector;
    QWidget *m_centreOn = nullptr;
    int m_toolBarHeight;
    QString m_customName;
    bool m_loading = false;
    // The name last used and its type; a type change offers that name only
    // for that type, and leaves alone a name the operator typed.
    QString m_lastName;
    int m_lastType = 0;
    bool m_nameTyped = false;

    QLineEdit *editCustName = nullptr;
    QComboBox *comboPSType = nullptr;
    QLabel *label_3 = nullptr;
    QComboBox *comboConnType = nullptr;
    QGroupBox *connParamsGB = nullptr;
    QLabel *l_warning = nullptr;
    QPushButton *autodetectButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *okButton = nullptr;

    QWidget *m_ipWidget = nullptr;
    QLineEdit *m_ip[4] = {};
    QWidget *m_loginWidget = nullptr;
    QLineEdit *m_userName = nullptr;
    QLineEdit *m_password = nullptr;
    QWidget *m_tcpLBusWidget = nullptr;
    QComboBox *m_tcpLBus = nullptr;
    QGroupBox *m_serialGroup = nullptr;
    QComboBox *m_port = nullptr;
    QComboBox *m_baud = nullptr;
    QComboBox *m_data = nullptr;
    QComboBox *m_stop = nullptr;
    QComboBox *m_parity = nullptr;
    QLabel *m_serialLBusLabel = nullptr;
    QComboBox *m_serialLBus = nullptr;
    QWidget *m_rowsWidget[4] = {};
    QVBoxLayout *m_rowsLayout[4] = {};
    QVector<BoardRow> m_optRows, m_ethRows, m_pidRows, m_j5910Rows;
    QAutodetectDialog *m_autodetect = nullptr;
};
