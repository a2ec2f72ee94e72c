#include "panels/web/QWebBrowserDialog.h"

#include "panels/web/WebAddress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

namespace {

// Console messages of the system's pages carry their source address, which
// may be the login address: they are dropped, never printed.
class QuietPage : public QWebEnginePage
{
public:
    QuietPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) {}

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}
};

} // namespace

void QWebBrowserDialog::prepareEngine()
{
    // The engine's sandbox refuses to start for the superuser; the page is
    // then shown without it rather than not at all.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QWebBrowserDialog::QWebBrowserDialog(QWidget *parent, const QUrl &baseAddress, const QString &user,
                                     const QString &password)
    : QDialog(parent), m_base(baseAddress), m_user(user), m_password(password)
{
    prepareEngine();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Web Page"));

    // No storage name: off the record.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *frameLayout = new QVBoxLayout(frame);
    m_progressLabel = new QLabel(frame);
    m_progress = new QProgressBar(frame);
    m_progress->setRange(0, 100);
    m_failure = new QLabel(QStringLiteral("The system's web page did not answer."), frame);
    m_failure->setStyleSheet(QStringLiteral("color: #c00000; font: bold;"));
    m_failure->hide();
    m_view = new QWebEngineView(frame);
    m_view->setPage(new QuietPage(m_profile, m_view));
    // The engine's error page shows the address that failed: the login's.
    m_view->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    m_view->hide();
    frameLayout->addWidget(m_progressLabel);
    frameLayout->addWidget(m_progress);
    frameLayout->addWidget(m_failure);
    frameLayout->addWidget(m_view, 1);
    frameLayout->addStretch();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addWidget(buttons);
    resize(1000, 720);

    connect(m_view, &QWebEngineView::loadStarted, this, &QWebBrowserDialog::startLoading);
    connect(m_view, &QWebEngineView::loadFinished, this, &QWebBrowserDialog::finishLoading);
    connect(m_view, &QWebEngineView::loadProgress, m_progress, &QProgressBar::setValue);
    connect(m_view, &QWebEngineView::titleChanged, this, [this](const QString &title) {
        if (!title.isEmpty())
            setWindowTitle(WebAddress::shownText(title));
    });
    load(m_base);
}

QWebBrowserDialog::~QWebBrowserDialog()
{
    // The page must go before its profile.
    delete m_view;
    m_view = nullptr;
}

void QWebBrowserDialog::load(const QUrl &url)
{
    m_view->load(url);
}

void QWebBrowserDialog::startLoading()
{
    m_progressLabel->setText(QStringLiteral("Loading..."));
    m_progress->setValue(0);
}

void QWebBrowserDialog::finishLoading(bool ok)
{
    switch (m_stage) {
    case Stage::Base:
        // The base page is there (or not): log in either way; a system that
        // does not answer shows as a failed login below.
        m_stage = Stage::Login;
        load(WebAddress::webLoginAddress(m_base, m_user, m_password));
        return;
    case Stage::Login:
        loginAnswered(ok);
        return;
    case Stage::Clearing:
        break;
    case Stage::Shown:
        return;
    }
    // Only the clean page is left to go back to.
    m_view->history()->clear();
    m_stage = Stage::Shown;
    disconnect(m_view, &QWebEngineView::loadStarted, this, &QWebBrowserDialog::startLoading);
    disconnect(m_view, &QWebEngineView::loadFinished, this, &QWebBrowserDialog::finishLoading);
    m_progress->hide();
    m_progressLabel->hide();
    m_failure->setVisible(!m_loginOk);
    m_view->show();
    m_shown = true;
    emit pageShown(m_loginOk);
}

void QWebBrowserDialog::loginAnswered(bool ok)
{
    // The credentials are not needed any more.
    m_password.fill(QLatin1Char(' '));
    m_password.clear();
    m_loginOk = ok;
    QUrl loginPage = WebAddress::webLoginAddress(m_base, QString(), QString());
    loginPage.setQuery(QString());
    if (!ok) {
        // Nothing to show but that the system did not answer.
        showAt(QString(), m_base);
    } else if (!WebAddress::carriesCredentials(m_view->url())) {
        // Sent on to a page of its own (logged in): loaded again from its own
        // address, as the entry reached by the redirect still names the login's.
        m_stage = Stage::Clearing;
        load(m_view->url());
    } else {
        // Still at the login's address (a refused login answers there): its
        // page is shown again from the address without the query.
        QPointer<QWebBrowserDialog> self(this);
        m_view->page()->toHtml([self, loginPage](const QString &html) {
            if (self)
                self->showAt(html, loginPage);
        });
    }
}

void QWebBrowserDialog::showAt(const QString &html, const QUrl &cleanAddress)
{
    m_stage = Stage::Clearing;
    m_view->setHtml(html, cleanAddress);
}
