#ifndef SYSTEMTITLE_H
#define SYSTEMTITLE_H

// The one name a system goes by on screen (its tab, its box, the titles of
// the dialogs that act on it), so that the operator always knows which
// system a window belongs to.

#include <QString>

class ORVEHVNode;
class QSystemInterface;

namespace SystemTitle {

// The system node's name (unique among the connected systems), else the
// name given at connection.
QString nameOf(const QSystemInterface *system);
QString nameOf(const ORVEHVNode *systemNode);
// "<title> - <system name>"; the title alone when there is no name.
QString of(const QString &title, const QSystemInterface *system);
QString of(const QString &title, const ORVEHVNode *systemNode);

} // namespace SystemTitle

#endif
