#ifndef QWEBBROWSERDIALOG_H
#define QWEBBROWSERDIALOG_H

// A system's own web administration page, logged in automatically: the
// dialog loads the base address, then "session_login.cgi" with the system's
// user name and password, and shows the page that follows. The page runs in
// an off-the-record profile: history, cache and cookies stay in memory, so
// no address carrying the password is ever written to disk. Deletes itself
// when closed.

#include <QDialog>
#include <QUrl>

class QLabel;
class QProgressBar;
class QWebEngineProfile;
class QWebEngineView;

class QWebBrowserDialog : public QDialog
{
    Q_OBJECT
public:
    QWebBrowserDialog(QWidget *parent, const QUrl &baseAddress, const QString &user, const QString &password);
    ~QWebBrowserDialog() override;

    // Settles how the engine starts; before the first web view of the process.
    static void prepareEngine();

    QWebEngineView *view() const { return m_view; }
    // True once the login page was loaded (successfully or not) and shown.
    bool isShowingPage() const { return m_shown; }

signals:
    void pageShown(bool ok);

public slots:
    void startLoading();
    void finishLoading(bool ok);

private:
    void load(const QUrl &url);

    QWebEngineProfile *m_profile;
    QWebEngineView *m_view;
    QProgressBar *m_progress;
    QLabel *m_progressLabel;
    QLabel *m_failure;
    QUrl m_base;
    QUrl m_current;
    QString m_user;
    QString m_password;
    bool m_shown = false;
};

#endif
