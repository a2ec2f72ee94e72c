#include "panels/QBoardInformations.h"

#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "panels/BoardInfoText.h"
#include "panels/PanelPictures.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

const char *const QBoardInformations::ModulePicture = ":Resources/Elementi/Modulo-dock.png";

namespace {
const QSize ModuleSize(36, 72);
const QSize ArrowSize(12, 12);

// One style sheet for the whole page, set on its content widget: a style
// sheet of a widget's own costs that widget a style object and parsed rules
// of its own (some kB each, for hundreds of labels).
const char *const PageStyle =
    "QFrame#boardHeader { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7dadcb, stop:1 #4a5c62);"
    " border: none; border-top-left-radius: 4px; border-top-right-radius: 4px; }"
    "QFrame#boardHeader QLabel { background: transparent; color: white; font: bold; }"
    "QWidget#boardBody { background: #f4f4f4; border: 1px solid #b9c3c7; border-top: none; }"
    "QWidget#boardBody QLabel { background: transparent; border: none; }"
    "QLabel#moduleLabel { color: #403b3a; font:bold; }"
    "QLabel#boardDescription { color: #403b3a; font-style: italic; }"
    "QFrame#boardSeparator { color: #b9c3c7; }"
    "QLabel#noBoards { color: #403b3a; }"
    "QLabel[boardRow=\"name\"] { color: #4a5c62; }"
    "QLabel[boardRow=\"value\"] { color: #1d1d1d; font:bold; }"
    "QLabel[boardRow=\"alarm\"] { color: #c81e1e; font:bold; }";
const char *const RowProperty = "boardRow";

// The value rows can be selected and copied. A selectable label holds a text
// document of its own (kB each, hundreds of rows): a row is made selectable
// when the mouse first comes over it, before it can press or ask for the
// menu there. It looks the same either way.
class SelectableOnHover : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Enter) {
            if (auto *label = qobject_cast<QLabel *>(watched)) {
                label->setTextInteractionFlags(Qt::TextSelectableByMouse);
                label->removeEventFilter(this);
            }
        }
        return false;
    }
};

// A value row's look follows its parameter's alarm state.
void setValueLook(QLabel *label, bool alarm)
{
    const QLatin1String row(alarm ? "alarm" : "value");
    if (label->property(RowProperty).toString() == row)
        return;
    label->setProperty(RowProperty, row);
    // Rules with a property selector apply on the next polish.
    label->style()->unpolish(label);
    label->style()->polish(label);
    label->update();
}
} // namespace

// ---------------------------------------------------------------- QBoardInfoBox

QBoardInfoBox::QBoardInfoBox(const QString &title, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("boardInfoBox"));
    m_header = new QFrame(this);
    m_header->setObjectName(QStringLiteral("boardHeader"));
    m_header->setCursor(Qt::PointingHandCursor);
    m_arrow = new QLabel(m_header);
    m_arrow->setFixedSize(ArrowSize);
    m_title = new QLabel(title, m_header);
    m_title->setObjectName(QStringLiteral("boardTitleLabel"));
    m_title->setWordWrap(true);
    m_title->setToolTip(title);
    auto *h = new QHBoxLayout(m_header);
    h->setContentsMargins(5, 3, 5, 3);
    h->setSpacing(5);
    h->addWidget(m_arrow, 0, Qt::AlignTop);
    h->addWidget(m_title, 1);
    m_header->installEventFilter(this);
    m_title->installEventFilter(this);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("boardBody"));
    m_body->setAttribute(Qt::WA_StyledBackground);

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(m_header);
    v->addWidget(m_body);
    setExpanded(true);
}

QString QBoardInfoBox::title() const { return m_title->text(); }

void QBoardInfoBox::setExpanded(bool expanded)
{
    const bool changed = m_expanded != expanded;
    m_expanded = expanded;
    m_body->setVisible(expanded);
    m_arrow->setPixmap(PanelPictures::load(QLatin1String(expanded ? ":Resources/Elementi/arrd.png"
                                                                  : ":Resources/Elementi/arrr.png"),
                                           ArrowSize));
    if (changed)
        emit toggled(expanded);
}

void QBoardInfoBox::toggle() { setExpanded(!m_expanded); }

bool QBoardInfoBox::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_header || watched == m_title) && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        toggle();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

// ---------------------------------------------------------- QBoardInformations

QBoardInformations::QBoardInformations(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sysBoardInfo"));
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("boardInfoContent"));
    m_content->setStyleSheet(QLatin1String(PageStyle));
    m_selectableOnHover = new SelectableOnHover(this);
    m_layout = new QVBoxLayout(m_content);
    m_layout->setContentsMargins(3, 3, 3, 3);
    m_layout->setSpacing(6);
    m_empty = new QLabel(tr("No boards present"), m_content);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setObjectName(QStringLiteral("noBoards"));
    m_layout->addWidget(m_empty);
    m_layout->addStretch(1);
    m_scroll->setWidget(m_content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);
}

void QBoardInformations::setSystemNode(ORVEHVNode *system)
{
    m_system = system;
    rebuild();
}

QString QBoardInformations::shownText(const QString &key) const
{
    const QLabel *l = m_values.value(key);
    return l ? l->text() : QString();
}

void QBoardInformations::rebuild()
{
    // Keep the operator's choice of collapsed boards across a rebuild.
    QHash<QString, bool> expanded;
    for (QBoardInfoBox *b : qAsConst(m_boxes)) {
        expanded.insert(b->objectName(), b->isExpanded());
        m_layout->removeWidget(b);
        delete b;
    }
    m_boxes.clear();
    m_values.clear();

    if (m_system) {
        const int systemType = m_system->systemType();
        int position = 0;
        for (const ORVEHVNode *board : m_system->children()) {
            if (!board || board->kind() != KindBoard)
                continue;
            QBoardInfoBox *b = makeBox(board, systemType);
            b->setObjectName(QStringLiteral("boardInfoBox_%0_%1").arg(board->handle()).arg(board->slot()));
            if (expanded.contains(b->objectName()))
                b->setExpanded(expanded.value(b->objectName()));
            m_layout->insertWidget(position++, b);
            m_boxes.append(b);
        }
    }
    m_empty->setVisible(m_boxes.isEmpty());
}

QBoardInfoBox *QBoardInformations::makeBox(const ORVEHVNode *board, int systemType)
{
    auto *b = new QBoardInfoBox(BoardInfoText::boardTitle(board, systemType), m_content);
    QWidget *body = b->body();

    auto *picture = new QLabel(body);
    picture->setObjectName(QStringLiteral("modulePicture"));
    picture->setPixmap(PanelPictures::load(QLatin1String(ModulePicture), ModuleSize));
    picture->setFixedSize(ModuleSize);
    auto *module = new QLabel(QStringLiteral("%0\nModule").arg(board->model()), body);
    module->setObjectName(QStringLiteral("moduleLabel"));

    auto *grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    int row = 0;
    auto addRow = [&](const QString &name, const QString &text, const QString &key, const QString &tip) {
        auto *n = new QLabel(name, body);
        n->setProperty(RowProperty, QStringLiteral("name"));
        auto *v = new QLabel(text, body);
        v->setProperty(RowProperty, QStringLiteral("value"));
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setWordWrap(true);   // long texts wrap inside the dock's width
        v->installEventFilter(m_selectableOnHover);
        if (!tip.isEmpty()) {
            n->setToolTip(tip);
            v->setToolTip(tip);
        }
        grid->addWidget(n, row, 0);
        grid->addWidget(v, row, 1);
        ++row;
        m_values.insert(key, v);
    };
    const int handle = board->handle();
    const int slot = board->slot();
    // Keys go by the slot the library knows; the text by the board's place
    // (a VME HV board joined to a crate sits in slot 0 of its own system).
    addRow(QStringLiteral("Slot"),
           systemType == 16 ? BoardInfoText::rackPosition(slot) : QString::number(board->place()),
           BoardInfoText::valueKey(handle, slot, QStringLiteral("Slot")), QString());
    addRow(QStringLiteral("Channels"), QString::number(board->channelCount()),
           BoardInfoText::valueKey(handle, slot, QStringLiteral("ChCount")), QString());
    addRow(QStringLiteral("SerNum"), QString::number(board->serialNumber()),
           BoardInfoText::valueKey(handle, slot, QStringLiteral("SerNum")), QString());
    addRow(QStringLiteral("Rel"), QStringLiteral("%0.%1").arg(board->firmwareMajor(), board->firmwareMinor()),
           BoardInfoText::valueKey(handle, slot, QStringLiteral("FmwRel")), QString());
    if (systemType == 5) {
        const QString base = BoardInfoText::vmeBaseAddress(board->connectionArgument());
        if (!base.isEmpty())
            addRow(QStringLiteral("Base"), base, BoardInfoText::valueKey(handle, slot, QStringLiteral("Base")),
                   QString());
    }
    if (!board->description().isEmpty()) {
        auto *d = new QLabel(board->description(), body);
        d->setObjectName(QStringLiteral("boardDescription"));
        d->setWordWrap(true);
        grid->addWidget(d, row++, 0, 1, 2);
    }
    bool separated = false;
    for (const ORVEHVNode *p : board->parameters()) {
        if (!p || p->accessMode() == AccessWriteOnly)
            continue;   // a command, nothing to show
        if (!separated) {
            auto *line = new QFrame(body);
            line->setFrameShape(QFrame::HLine);
            line->setObjectName(QStringLiteral("boardSeparator"));
            grid->addWidget(line, row++, 0, 1, 2);
            separated = true;
        }
        addRow(p->name(), BoardInfoText::parameterText(p), BoardInfoText::valueKey(handle, slot, p->name()),
               p->toolTip());
        if (BoardInfoText::isAlarm(p))
            m_values.value(BoardInfoText::valueKey(handle, slot, p->name()))->setProperty(RowProperty, QStringLiteral("alarm"));
    }

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(8);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(module, 1, Qt::AlignVCenter);
    auto *v = new QVBoxLayout(body);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(4);
    v->addLayout(top);
    v->addLayout(grid);
    return b;
}

bool QBoardInformations::refreshParameter(const ORVEHVNode *parameter)
{
    if (!parameter || parameter->kind() != KindBoardParameter)
        return false;
    QLabel *l = m_values.value(BoardInfoText::valueKey(parameter->handle(), parameter->slot(), parameter->name()));
    if (!l)
        return false;
    l->setText(BoardInfoText::parameterText(parameter));
    setValueLook(l, BoardInfoText::isAlarm(parameter));
    return true;
}
