#include "device/LogFeed.h"

#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"

#include <QMutexLocker>

void LogFeed::take(const Key &key, const ORVEHVNode *node, bool keepValue, QHash<Key, Item> &into) const
{
    Item item;
    item.dataType = node->dataType();
    item.logged = node->isLogged();
    const auto known = keepValue ? m_items.constFind(key) : m_items.cend();
    item.last = known != m_items.cend() ? known->last : node->value().value;
    into.insert(key, item);
}

void LogFeed::refresh(const ORVEHVNode *root, int crateOffset, bool keepValues)
{
    QMutexLocker lock(&m_mutex);
    QHash<Key, Item> items;
    if (root) {
        // The places events name items by (the window's handler finds the
        // node by the same rule): system parameters and properties, then
        // board and channel parameters by the board's and channel's position.
        for (const ORVEHVNode *p : root->parameters())
            take({-1, -1, p->name()}, p, keepValues, items);
        const QVector<ORVEHVNode *> &children = root->children();
        for (int b = 0; b < children.size(); ++b) {
            const ORVEHVNode *board = children.at(b);
            if (board->kind() == KindSystemProperty) {
                take({-1, -1, board->name()}, board, keepValues, items);
                continue;
            }
            for (const ORVEHVNode *p : board->parameters())
                take({b, -1, p->name()}, p, keepValues, items);
            const QVector<ORVEHVNode *> &channels = board->children();
            for (int c = 0; c < channels.size(); ++c)
                for (const ORVEHVNode *p : channels.at(c)->parameters())
                    take({b, c, p->name()}, p, keepValues, items);
        }
    }
    m_items.swap(items);
    m_systemName = root ? root->name() : QString();
    m_crateOffset = crateOffset;
}

bool LogFeed::update(int board, int channel, const QString &name, const char *valueArea, Update &out)
{
    QMutexLocker lock(&m_mutex);
    out.systemName = m_systemName;
    out.crateOffset = m_crateOffset;
    const auto it = m_items.find(Key{board, channel, name});
    if (it == m_items.end())
        return false;
    out.logged = it->logged;
    out.previous = it->last;
    out.current = eventVariant(it->dataType, valueArea);
    it->last = out.current;
    return true;
}

QString LogFeed::systemName() const
{
    QMutexLocker lock(&m_mutex);
    return m_systemName;
}

