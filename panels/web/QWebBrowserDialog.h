#ifndef QWEBBROWSERDIALOG_H
#define QWEBBROWSERDIALOG_H

// A system's own web administration page, logged in automatically: the
// dialog loads the base address, then "session_login.cgi" with the system's
// user name and password, and shows the page that follows. The page runs in
// an off-the-record profile: history, cache and cookies stay in memory, so
// no address carrying the password is ever written to disk. Nor is one ever
// shown: titles are shown without such an address's query, the engine's own
// error page (which names the address) is off, a refused login's page is
// shown again from a clean address, and the history is cleared once the
// login has been answered. Deletes itself when closed.

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
    enum class Stage { Base, Login, Clearing, Shown };

    void load(const QUrl &url);
    void loginAnswered(bool ok);
    void showAt(const QString &html, const QUrl &cleanAddress);

    QWebEngineProfile *m_profile;
    QWebEngineView *m_view;
    QProgressBar *m_progress;
    QLabel *m_progressLabel;
    QLabel *m_failure;
    QUrl m_base;
    Stage m_stage = Stage::Base;
    bool m_loginOk = false;
    QString m_user;
    QString m_password;
    bool m_shown = false;
};

#endif
