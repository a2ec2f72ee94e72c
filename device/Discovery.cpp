#include "device/Discovery.h"

#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"

QList<ORVEHVNode *> readSystemProperties(int) { return {}; }
QList<ORVEHVNode *> readCrateMap(int, quint16 *slotCount) { if (slotCount) *slotCount = 0; return {}; }
QList<ORVEHVNodeProperty *> readBoardInformation(const ORVEHVNode *) { return {}; }
QList<ORVEHVNode *> readBoardParameters(int, quint16, int) { return {}; }
QList<ORVEHVNode *> readChannels(int, quint16, quint16) { return {}; }
QList<ORVEHVNode *> readChannelParameters(int, int, quint16, quint16) { return {}; }
QList<ORVEHVNodeProperty *> readParameterMetadata(int, int, quint16, quint16, const QString &, int) { return {}; }
QList<ORVEHVNode *> readConnectionItems(int, quint16) { return {}; }
QList<ORVEHVNode *> refreshCrateMap(int, ORVEHVNode *, const std::function<void(ORVEHVNode *, int)> &) { return {}; }
void discoverSystemProperties(ORVEHVNode *) {}
void discoverBoard(ORVEHVNode *, ORVEHVNode *, const std::function<void(ORVEHVNode *)> &) {}
void discoverConnectionItems(ORVEHVNode *) {}
int discoverSystem(ORVEHVNode *, const DiscoveryHooks &) { return 0; }
