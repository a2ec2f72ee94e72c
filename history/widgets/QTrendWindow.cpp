#include "history/widgets/QTrendWindow.h"

#include "history/Archive.h"
#include "history/CsvText.h"
#include "history/TrendData.h"
#include "history/widgets/QSiteItemsDialog.h"
#include "history/widgets/QTrendChartView.h"
#include "device/OperatorMessage.h"

#include <QActionGroup>
#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QTimer>
#include <QToolBar>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int RefreshMs = 500;

bool sameChannel(const ItemKey &a, const ItemKey &b)
{
    return a.system == b.system && a.board == b.board && a.channel == b.channel && a.station == b.station;
}

// Colours far enough apart for a dozen channels, then again darker.
QColor lineColour(int index)
{
    static const QRgb base[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                                0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f, 0x393b79, 0xad494a};
    const QColor c = QColor::fromRgb(base[index % 12]);
    return index / 12 % 2 ? c.darker(150) : c;
}
constexpr qint64 ShortestSpan = 2000;

// The axis range for these values: a little room above and below, and some
// height for a flat line.
void fitAxis(QValueAxis *axis, double lo, double hi)
{
    if (!axis)
        return;
    if (lo > hi) {
        lo = 0;
        hi = 1;
    }
    double pad = (hi - lo) * 0.05;
    if (pad <= 0)
        pad = std::fabs(hi) > 0 ? std::fabs(hi) * 0.05 : 0.5;
    axis->setRange(lo - pad, hi + pad);
    axis->applyNiceNumbers();
}

} // namespace

QTrendWindow::QTrendWindow(Archive *archive, QWidget *parent)
    : QWidget(parent, Qt::Window), m_archive(archive), m_data(std::make_unique<TrendData>(archive))
{
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(QStringLiteral("Trend"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1100, 650);

    m_chart = new QChart();
    m_chart->legend()->setAlignment(Qt::AlignRight);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_timeAxis = new QDateTimeAxis(m_chart);
    m_timeAxis->setTickCount(7);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_leftAxis = new QValueAxis(m_chart);
    m_chart->addAxis(m_leftAxis, Qt::AlignLeft);

    m_view = new QTrendChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("trendChart"));
    connect(m_view, &QTrendChartView::zoomRequested, this, &QTrendWindow::zoom);
    connect(m_view, &QTrendChartView::panRequested, this, &QTrendWindow::pan);
    connect(m_view, &QTrendChartView::bandSelected, this,
            [this](double a, double b) { setRange(qint64(a), qint64(b)); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    buildToolBar();
    layout->addWidget(findChild<QToolBar *>());
    layout->addWidget(m_view, 1);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshMs);
    connect(m_timer, &QTimer::timeout, this, &QTrendWindow::refresh);
    setSpan(TenMinutes);
}

QTrendWindow::~QTrendWindow() = default;

void QTrendWindow::buildToolBar()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("trendToolBar"));
    auto *mode = new QActionGroup(this);
    m_follow = bar->addAction(QStringLiteral("Follow"));
    m_pause = bar->addAction(QStringLiteral("Pause"));
    for (QAction *a : {m_follow, m_pause}) {
        a->setCheckable(true);
        mode->addAction(a);
    }
    m_follow->setChecked(true);
    connect(m_follow, &QAction::triggered, this, [this] { setFollowing(true); });
    connect(m_pause, &QAction::triggered, this, [this] { setFollowing(false); });
    bar->addSeparator();
    m_ranges = new QComboBox(bar);
    m_ranges->setObjectName(QStringLiteral("trendRange"));
    m_ranges->addItems({QStringLiteral("10 min"), QStringLiteral("1 h"), QStringLiteral("1 day"),
                        QStringLiteral("Custom...")});
    connect(m_ranges, QOverload<int>::of(&QComboBox::activated), this, &QTrendWindow::chooseRange);
    bar->addWidget(m_ranges);
    bar->addSeparator();
    if (!m_archive->station().isEmpty()) {
        QAction *site = bar->addAction(QStringLiteral("Site..."));
        site->setObjectName(QStringLiteral("trendSite"));
        site->setToolTip(QStringLiteral("Add items of any station from the shared archive"));
        connect(site, &QAction::triggered, this, &QTrendWindow::askSiteItems);
        bar->addSeparator();
    }
    connect(bar->addAction(QStringLiteral("Export CSV...")), &QAction::triggered, this, [this] { askExport(false); });
    connect(bar->addAction(QStringLiteral("Export PNG...")), &QAction::triggered, this, [this] { askExport(true); });
    bar->addSeparator();
    m_status = new QLabel(bar);
    m_status->setObjectName(QStringLiteral("trendStatus"));
    bar->addWidget(m_status);
}

bool QTrendWindow::addChannel(const ItemKey &key, const QString &label)
{
    const QString name = QStringLiteral("%0 %1").arg(label.isEmpty() ? key.system : label, key.parameter);
    if (!m_data->add(key, name))
        return false;
    auto *series = new QLineSeries(m_chart);
    series->setName(name);
    // One colour per channel; the right axis' parameters dashed.
    int channel = 0;
    for (; channel < m_channels.size() && !sameChannel(m_channels.at(channel), key); ++channel) {
    }
    if (channel == m_channels.size())
        m_channels.append(key);
    QPen pen(lineColour(channel), 1.5);
    m_chart->addSeries(series);
    series->attachAxis(m_timeAxis);
    if (m_leftParameter.isEmpty())
        m_leftParameter = key.parameter;
    if (key.parameter == m_leftParameter) {
        series->attachAxis(m_leftAxis);
        m_leftAxis->setTitleText(m_leftParameter);
    } else {
        if (!m_rightAxis) {
            m_rightAxis = new QValueAxis(m_chart);
            m_chart->addAxis(m_rightAxis, Qt::AlignRight);
        }
        series->attachAxis(m_rightAxis);
        m_rightAxis->setTitleText(key.parameter);
        pen.setStyle(Qt::DashLine);
    }
    series->setPen(pen);
    m_series.append(series);
    reload();
    return true;
}

int QTrendWindow::channelCount() const
{
    return m_data->count();
}

void QTrendWindow::setSpan(qint64 ms)
{
    m_span = qMax(ShortestSpan, ms);
    const int index = m_span == TenMinutes ? 0 : m_span == OneHour ? 1 : m_span == OneDay ? 2 : 3;
    m_ranges->setCurrentIndex(index);
    setFollowing(true);
}

void QTrendWindow::setRange(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs < ShortestSpan) {
        const qint64 mid = (fromMs + toMs) / 2;
        fromMs = mid - ShortestSpan / 2;
        toMs = fromMs + ShortestSpan;
    }
    m_from = fromMs;
    m_to = toMs;
    m_span = toMs - fromMs;
    m_ranges->setCurrentIndex(3);
    setFollowing(false);
}

void QTrendWindow::setFollowing(bool follow)
{
    m_following = follow;
    (follow ? m_follow : m_pause)->setChecked(true);
    if (follow) {
        m_to = QDateTime::currentMSecsSinceEpoch();
        m_from = m_to - m_span;
        m_timer->start();
    } else {
        m_timer->stop();
    }
    reload();
}

void QTrendWindow::chooseRange(int index)
{
    switch (index) {
    case 0: setSpan(TenMinutes); break;
    case 1: setSpan(OneHour); break;
    case 2: setSpan(OneDay); break;
    default: askCustomRange(); break;
    }
}

void QTrendWindow::askCustomRange()
{
    auto *dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("trendCustomRange"));
    dialog->setWindowTitle(QStringLiteral("Custom range"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *form = new QFormLayout(dialog);
    auto *from = new QDateTimeEdit(QDateTime::fromMSecsSinceEpoch(m_from), dialog);
    auto *to = new QDateTimeEdit(QDateTime::fromMSecsSinceEpoch(m_to), dialog);
    for (QDateTimeEdit *e : {from, to}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e->setCalendarPopup(true);
    }
    form->addRow(QStringLiteral("From"), from);
    form->addRow(QStringLiteral("To"), to);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, from, to] {
        const qint64 a = from->dateTime().toMSecsSinceEpoch(), b = to->dateTime().toMSecsSinceEpoch();
        setRange(qMin(a, b), qMax(a, b));
    });
    dialog->open();
}

void QTrendWindow::askSiteItems()
{
    auto *dialog = new QSiteItemsDialog(m_archive->location(), this);
    connect(dialog, &QSiteItemsDialog::chosen, this, [this](const QVector<ArchiveReader::StoredItem> &items) {
        for (const ArchiveReader::StoredItem &item : items)
            addChannel(item.key, siteLabel(item));
    });
    dialog->open();
}

QString QTrendWindow::siteLabel(const ArchiveReader::StoredItem &item) const
{
    const QString name = item.label.isEmpty() ? item.key.system : item.label;
    return m_archive->isForeign(item.key) ? QStringLiteral("%0: %1").arg(item.key.station, name) : name;
}

void QTrendWindow::zoom(double centre, double factor)
{
    const double from = centre - (centre - double(m_from)) * factor;
    const double to = centre + (double(m_to) - centre) * factor;
    setRange(qint64(from), qint64(to));
}

void QTrendWindow::pan(double ms)
{
    setRange(m_from + qint64(ms), m_to + qint64(ms));
}

int QTrendWindow::columns() const
{
    return qMax(100, int(m_chart->plotArea().width()));
}

void QTrendWindow::reload()
{
    m_data->load(m_from, m_to, columns());
    refresh();
}

void QTrendWindow::refresh()
{
    if (m_following) {
        m_to = QDateTime::currentMSecsSinceEpoch();
        m_from = m_to - m_span;
        if (m_data->needsLoad())
            m_data->load(m_from, m_to, columns());
    }
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    // One repaint for all lines, not one per line.
    m_view->setUpdatesEnabled(false);
    for (int i = 0; i < m_series.size(); ++i) {
        const QVector<QPointF> points = m_data->points(i, m_from, m_to, columns());
        const int side = m_data->channel(i).key.parameter == m_leftParameter ? 0 : 1;
        for (const QPointF &p : points) {
            lo[side] = qMin(lo[side], p.y());
            hi[side] = qMax(hi[side], p.y());
        }
        m_series.at(i)->replace(QList<QPointF>(points.begin(), points.end()));
    }
    const qint64 span = m_to - m_from;
    m_timeAxis->setFormat(span > 2 * OneDay ? QStringLiteral("MM-dd HH:mm")
                          : span > TenMinutes ? QStringLiteral("HH:mm")
                                              : QStringLiteral("HH:mm:ss"));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_from), QDateTime::fromMSecsSinceEpoch(m_to));
    fitAxis(m_leftAxis, lo[0], hi[0]);
    fitAxis(m_rightAxis, lo[1], hi[1]);
    m_view->setUpdatesEnabled(true);
    updateStatus();
}

void QTrendWindow::updateStatus()
{
    QString text = QStringLiteral("%0 of %1 lines").arg(m_data->count()).arg(TrendData::MaxChannels);
    if (!m_archive->isAvailable())
        text += QStringLiteral(" - no archive: values of this session only");
    else if (m_archive->isOffline())
        text += QStringLiteral(" - shared archive cannot be reached: values of this session only, until it is back");
    else if (const qint64 lost = m_archive->lostValues())
        text += QStringLiteral(" - %0 values not archived (the archive fell behind)").arg(lost);
    m_status->setText(text);
}

QString QTrendWindow::csv()
{
    QMap<qint64, QStringList> rows;
    QStringList header{QStringLiteral("time")};
    const int n = m_data->count();
    for (int i = 0; i < n; ++i) {
        header.append(m_data->channel(i).label);
        for (const QPointF &p : m_data->rawPoints(i, m_from, m_to)) {
            QStringList &row = rows[qint64(p.x())];
            if (row.isEmpty())
                row = QStringList(n, QString());
            row[i] = QString::number(p.y(), 'g', 10);
        }
    }
    QString out = CsvText::line(header);
    for (auto it = rows.constBegin(); it != rows.constEnd(); ++it)
        out += CsvText::line(QStringList{CsvText::isoTime(it.key())} + it.value());
    return out;
}

bool QTrendWindow::exportCsv(const QString &path, QString *error)
{
    return CsvText::saveWhole(path, csv().toUtf8(), error);
}

bool QTrendWindow::exportPng(const QString &path, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!m_view->grab().save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("the picture could not be made");
        return false;
    }
    return CsvText::saveWhole(path, bytes, error);
}

void QTrendWindow::askExport(bool png)
{
    const QString path = QFileDialog::getSaveFileName(
        this, png ? QStringLiteral("Export PNG") : QStringLiteral("Export CSV"), QString(),
        png ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!(png ? exportPng(path, &error) : exportCsv(path, &error)))
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("%0 could not be saved:\n%1.").arg(path, error),
                             QString(), {}}, this);
}
