#include "panels/QCustomBox.h"

#include "panels/PanelPictures.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

const char *const QCustomBox::ExpandedPicture = ":Resources/Elementi/arrd.png";
const char *const QCustomBox::CollapsedPicture = ":Resources/Elementi/arrr.png";
const char *const QCustomBox::SwitchOnPicture = ":Resources/Elementi/switch_ON.gif";
const char *const QCustomBox::SwitchOffPicture = ":Resources/Elementi/switch_OFF.gif";

namespace {
const QSize IconSize(40, 32);
const QSize ArrowSize(16, 16);

const char *const NameStyle = "background: transparent; border:none; color:white; font:bold;";
const char *const DisabledNameStyle = "background: transparent; border:none; color:black; font:bold;";

const char *const ButtonStyle =
    "QPushButton { background: rgba(255, 255, 255, 215); color: #1f2a2e; border: 1px solid #2f3b40;"
    " border-radius: 3px; padding: 2px 10px; }"
    "QPushButton:hover { background: white; }"
    "QPushButton:pressed { background: #d8e4ea; }"
    "QPushButton:disabled { color: #606060; }";
} // namespace

QCustomBox::QCustomBox(int index, const QString &title, const QString &iconPath, const QString &extraText,
                       const QString &disconnectText, QWidget *parent)
    : QFrame(parent), m_index(index), m_titleText(title), m_iconPath(iconPath)
{
    setObjectName(QStringLiteral("customBox"));

    m_header = new QFrame(this);
    m_header->setObjectName(QStringLiteral("boxHeader"));

    m_icon = new QLabel(m_header);
    m_icon->setObjectName(QStringLiteral("sysIconLabel"));
    m_icon->setStyleSheet(QStringLiteral("background: transparent; border:none;"));
    m_icon->setPixmap(PanelPictures::load(iconPath, IconSize));
    m_icon->setFixedSize(IconSize);

    m_title = new QLabel(title, m_header);
    m_title->setObjectName(QStringLiteral("sysNameLabel"));
    m_title->setStyleSheet(QLatin1String(NameStyle));
    // Long names are shortened with "..." rather than widening the dock.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->setMinimumWidth(40);
    m_title->setToolTip(title);
    m_title->installEventFilter(this);

    m_expand = new QToolButton(m_header);
    m_expand->setObjectName(QStringLiteral("expandButton"));
    m_expand->setAutoRaise(true);
    m_expand->setIconSize(ArrowSize);
    m_expand->setStyleSheet(QStringLiteral("QToolButton { background: transparent; border: none; }"));
    m_expand->setCursor(Qt::PointingHandCursor);

    m_extra = new QPushButton(extraText, m_header);
    m_extra->setObjectName(QStringLiteral("extraButton"));
    m_extra->setStyleSheet(QLatin1String(ButtonStyle));
    m_extra->setCursor(Qt::PointingHandCursor);
    m_disconnect = new QPushButton(disconnectText, m_header);
    m_disconnect->setObjectName(QStringLiteral("disconnectButton"));
    m_disconnect->setStyleSheet(QLatin1String(ButtonStyle));
    m_disconnect->setCursor(Qt::PointingHandCursor);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(6);
    top->addWidget(m_title, 1);
    top->addWidget(m_expand);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    buttons->addWidget(m_extra);
    buttons->addWidget(m_disconnect);
    buttons->addStretch(1);
    m_notice = new QLabel(m_header);
    m_notice->setObjectName(QStringLiteral("boxNoticeLabel"));
    m_notice->setStyleSheet(QStringLiteral("background: #ffd24d; color: black; border: none; font: bold;"
                                           " padding: 1px 4px;"));
    m_notice->setWordWrap(true);
    m_notice->hide();
    auto *right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(4);
    right->addLayout(top);
    right->addLayout(buttons);
    right->addWidget(m_notice);
    auto *headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(6, 5, 4, 6);
    headerLayout->setSpacing(6);
    headerLayout->addWidget(m_icon, 0, Qt::AlignTop);
    headerLayout->addLayout(right, 1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(m_header);
    m_bodyLayout = new QVBoxLayout;
    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(m_bodyLayout);

    connect(m_extra, &QPushButton::clicked, this, &QCustomBox::extraButtonClick);
    connect(m_disconnect, &QPushButton::clicked, this, &QCustomBox::disconnectButtonClick);
    connect(m_expand, &QToolButton::clicked, this, &QCustomBox::expandButtonClick);

    updateExpandPicture();
    applyStyle();
}

void QCustomBox::setNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->setVisible(!text.isEmpty());
}

QString QCustomBox::title() const { return m_titleText; }

void QCustomBox::setTitle(const QString &title)
{
    m_titleText = title;
    m_title->setToolTip(title);
    elideTitle();
}

void QCustomBox::elideTitle()
{
    const int width = m_title->width();
    m_title->setText(width > 0 ? m_title->fontMetrics().elidedText(m_titleText, Qt::ElideRight, width)
                               : m_titleText);
}

bool QCustomBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_title && event->type() == QEvent::Resize)
        elideTitle();
    return QFrame::eventFilter(watched, event);
}

void QCustomBox::setContentWidget(QWidget *content)
{
    if (m_content == content)
        return;
    if (m_content) {
        m_bodyLayout->removeWidget(m_content);
        m_content->hide();
    }
    m_content = content;
    if (content) {
        m_bodyLayout->addWidget(content);
        content->setVisible(m_expanded);
    }
}

void QCustomBox::setExpanded(bool expanded)
{
    m_expanded = expanded;
    if (m_content)
        m_content->setVisible(expanded);
    updateExpandPicture();
}

void QCustomBox::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    applyStyle();
}

void QCustomBox::setPowerSwitch(int state)
{
    m_powerSwitch = state < 0 ? -1 : (state ? 1 : 0);
    updateExpandPicture();
}

void QCustomBox::disconnectButtonClick() { emit clickedDisconnectButton(m_index); }
void QCustomBox::extraButtonClick() { emit clickedExtraButton(m_index); }
void QCustomBox::expandButtonClick() { emit clickedExpandButton(m_index); }

void QCustomBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit itemClicked(m_index);
    QFrame::mouseReleaseEvent(event);
}

void QCustomBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        applyStyle();
    QFrame::changeEvent(event);
}

void QCustomBox::applyStyle()
{
    QString header;
    if (!isEnabled()) {
        header = QStringLiteral("QFrame#boxHeader { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                                " stop:0 lightgrey, stop:1 grey); border: %1; border-radius: 4px; }")
                     .arg(m_selected ? QStringLiteral("1px solid #d3d3d3") : QStringLiteral("none"));
        m_title->setStyleSheet(QLatin1String(DisabledNameStyle));
    } else if (m_selected) {
        header = QStringLiteral("QFrame#boxHeader { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                                " stop:0 #7fec2f, stop:1 #439847); border: 1px solid #d3d3d3;"
                                " border-radius: 4px; }");
        m_title->setStyleSheet(QLatin1String(NameStyle));
    } else {
        header = QStringLiteral("QFrame#boxHeader { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                                " stop:0 #7dadcb, stop:1 #4a5c62); border: none; border-radius: 4px; }");
        m_title->setStyleSheet(QLatin1String(NameStyle));
    }
    m_header->setStyleSheet(header);
}

void QCustomBox::updateExpandPicture()
{
    const char *picture = m_powerSwitch == 1   ? SwitchOnPicture
                          : m_powerSwitch == 0 ? SwitchOffPicture
                          : m_expanded         ? ExpandedPicture
                                               : CollapsedPicture;
    m_expandPicture = QLatin1String(picture);
    m_expand->setIcon(QIcon(PanelPictures::load(m_expandPicture, ArrowSize)));
}
