#include "device/ValueText.h"

#include "device/ORVEHVNode.h"

QString onOffText(const ORVEHVNode *, bool) { return {}; }
bool onOffFromText(const ORVEHVNode *, const QString &) { return false; }
QString enumText(const ORVEHVNode *, int) { return {}; }
int enumFromText(const ORVEHVNode *, const QString &) { return 0; }
QString enumText(const QStringList &, double, double, int) { return {}; }
int enumFromText(const QStringList &, double, const QString &) { return 0; }
QString hexText(qint64) { return {}; }
qint64 hexFromText(const QString &) { return 0; }
QString boardStatusText(int, int) { return {}; }
QString channelStatusText(int, int) { return {}; }
bool channelStatusOk(int, int) { return true; }
QString connectionText(int) { return {}; }
QString fixedText(double, int) { return {}; }
int parameterDataType(int) { return 7; }
int systemPropertyDataType(int) { return -1; }
int accessModeFromLibrary(unsigned int) { return 3; }
QStringList metadataNames(int) { return {}; }
QString unitSymbol(int) { return {}; }
QString exponentPrefix(int) { return QStringLiteral(" "); }
QString unitText(int, bool, int, bool, int) { return {}; }
QString stateText(const QString &raw, bool) { return raw; }
QVector<int> channelParameterOrder(const QStringList &names, int)
{
    QVector<int> order;
    for (int i = 0; i < names.size(); ++i)
        order.append(i);
    return order;
}
QString parameterToolTip(int, const QList<QPair<QString, QVariant>> &) { return {}; }
