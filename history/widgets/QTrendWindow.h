#ifndef QTRENDWINDOW_H
#define QTRENDWINDOW_H

// The "Trend" window: up to 48 numeric items of any connected systems as
// lines over time, each named in the legend. While following it scrolls with
// the present; pausing, zooming (band, wheel) or panning stops there. The
// ranges "10 min", "1 h", "1 day" follow the present, "Custom..." shows a
// fixed span. The first parameter gets the left axis, every other one the
// right. What is shown can be saved as CSV or PNG. On a site's shared
// archive "Site..." adds any station's items (read from the archive).

#include "history/ArchiveReader.h"
#include "history/HistoryTypes.h"

#include <QWidget>

#include <memory>

class Archive;
class QChart;
class QAction;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;
class QTrendChartView;
class TrendData;

class QTrendWindow : public QWidget
{
    Q_OBJECT
public:
    static const qint64 TenMinutes = 10 * 60 * 1000;
    static const qint64 OneHour = 60 * 60 * 1000;
    static const qint64 OneDay = 24 * 60 * 60 * 1000;

    explicit QTrendWindow(Archive *archive, QWidget *parent = nullptr);
    ~QTrendWindow() override;

    // False when the window is full or already shows the item.
    bool addChannel(const ItemKey &key, const QString &label);
    int channelCount() const;
    QLineSeries *series(int index) const { return m_series.value(index); }

    // A following range of this length ending now.
    void setSpan(qint64 ms);
    // A fixed range; stops following.
    void setRange(qint64 fromMs, qint64 toMs);
    void setFollowing(bool follow);
    bool isFollowing() const { return m_following; }
    qint64 from() const { return m_from; }
    qint64 to() const { return m_to; }

    // CSV: "time" in ISO 8601 and one column per line, a row per moment any
    // line has a value (the others empty there); every value of the range.
    bool exportCsv(const QString &path, QString *error = nullptr);
    bool exportPng(const QString &path, QString *error = nullptr);
    QString csv();
    // The legend's name of a stored item: another station's with its station.
    QString siteLabel(const ArchiveReader::StoredItem &item) const;

    QChart *chart() const { return m_chart; }
    QTrendChartView *chartView() const { return m_view; }

public slots:
    // Draws the range again (following: the range ending now).
    void refresh();

private:
    void buildToolBar();
    void reload();
    void zoom(double centre, double factor);
    void pan(double ms);
    void chooseRange(int index);
    void askCustomRange();
    void askExport(bool png);
    void askSiteItems();
    int columns() const;
    void updateStatus();

    Archive *m_archive;
    std::unique_ptr<TrendData> m_data;
    QChart *m_chart = nullptr;
    QTrendChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_leftAxis = nullptr;
    QValueAxis *m_rightAxis = nullptr;
    QVector<QLineSeries *> m_series;
    QVector<ItemKey> m_channels;  // distinct channels, for their colours
    QString m_leftParameter;
    QComboBox *m_ranges = nullptr;
    QAction *m_follow = nullptr;
    QAction *m_pause = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_timer = nullptr;
    qint64 m_span = TenMinutes;
    qint64 m_from = 0;
    qint64 m_to = 0;
    bool m_following = true;
};

#endif
