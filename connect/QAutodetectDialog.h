#pragma once

#include <QWidget>

class AutodetectScanner;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

// The panel inside the connect dialog that lists the mainframes answering the
// autodetection probe. The network work runs in AutodetectScanner's worker;
// this panel only shows its results on the GUI thread.
class QAutodetectDialog : public QWidget
{
    Q_OBJECT
public:
    explicit QAutodetectDialog(QWidget *parent = nullptr);
    ~QAutodetectDialog() override;

    bool isScanning() const;
    // Ends a running scan, hides the panel (the connect dialog's own close path).
    void stopAndHide();

    QTableWidget *table() const { return tableWidget; }
    AutodetectScanner *scanner() const { return m_scanner; }

public slots:
    void startButtonClicked();
    void closeButtonClicked();
    void setIpField(QTableWidgetItem *item);
    void showHelpMessageBox();

signals:
    // For the connect dialog: put this address into the IP fields.
    void ipAddressPicked(const QString &address);
    // For the connect dialog: a scan started or ended (refresh its controls).
    void scanStateChanged(bool scanning);
    // The panel's own Close button was pressed.
    void closeRequested();

private slots:
    void addMainframe(const QString &model, const QString &address, const QString &serial,
                      const QString &firmware, const QString &telmos);
    void scanFinished();

private:
    void setBusy(bool busy);
    void resetColumnWidths();

    QTableWidget *tableWidget;
    QProgressBar *progressBar;
    QPushButton *closeButton;
    QPushButton *helpButton;
    AutodetectScanner *m_scanner;
};
