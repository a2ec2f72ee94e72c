#ifndef DISCOVERY_H
#define DISCOVERY_H

// Builds a system's device tree from an open library handle: system
// properties, crate map, board information and parameters, channels and
// channel parameters with their metadata, and the connection items. Every
// call blocks the GUI thread while the library answers. No step shows a
// message: a failed read leaves the item out or gives an empty list.
//
// Caller owns every node returned until it adds it to a tree.

#include "device/ORVEHVNodeProperty.h"

#include <QList>
#include <QStringList>
#include <QString>
#include <functional>

class ORVEHVNode;

// Kind-2 nodes, library order, values read.
QList<ORVEHVNode *> readSystemProperties(int handle);
// One node per slot: a board (kind 3) or an empty-slot container (kind 8).
// `slotCount` (optional) receives the slot count reported (0 on failure).
QList<ORVEHVNode *> readCrateMap(int handle, quint16 *slotCount = nullptr);
// "ChCount", "BdModel", "BdDescr", "SerNum", "FmwRel".
ORVEHVNodeProperties readBoardInformation(const ORVEHVNode *board);
QList<ORVEHVNode *> readBoardParameters(int handle, quint16 slot, int systemType);
QList<ORVEHVNode *> readChannels(int handle, quint16 slot, quint16 channelCount);
// Reordered: ("Name"), ISet, VSet, IMon, VMon, Pw, Status, RUp, RDwn, Trip, rest.
QList<ORVEHVNode *> readChannelParameters(int handle, int systemType, quint16 slot, quint16 channel);
// kind 4 (board) or 6 (channel).
ORVEHVNodeProperties readParameterMetadata(int kind, int handle, quint16 slot, quint16 channel,
                                           const QString &parameterName, int libraryType);
// "ConnStat" and, when connected, "NrOfSlot".
QList<ORVEHVNode *> readConnectionItems(int connectionState, quint16 slotCount);

// Re-reads the crate map after a live insertion or removal. With a changed
// slot count nothing changes and all current children are returned;
// otherwise removed boards become containers (`boardGone` is called with the
// old board and its slot before it is deleted) and new boards replace their
// containers. Returns the new boards (not yet discovered: call discoverBoard).
QList<ORVEHVNode *> refreshCrateMap(int handle, ORVEHVNode *systemNode,
                                    const std::function<void(ORVEHVNode *, int)> &boardGone = {});

// --- library list walkers (pure; the library gives no list sizes) ----------
// Names from 10-byte cells: at most `count` (when not negative), up to the
// first empty cell, and never more than 512 cells whatever the content.
QStringList parameterNameCells(const char *list, int count);
// Texts of a NUL-separated list, at most `count`; with `stopAtEmpty` an
// empty text (a double terminator) ends the list. A text running on for
// 1024 bytes without a terminator ends the walk.
QStringList separatedListTexts(const char *list, int count, bool stopAtEmpty);
// "Enum" texts from the 152-byte buffer: one per value Minval..Maxval, at
// most the ten cells the buffer holds; empty when Maxval < Minval.
QStringList enumCellTexts(const char *buffer, double minval, double maxval);

// --- connection order ------------------------------------------------------
struct DiscoveryHooks
{
    // Called with the slot count right after the crate map was read; return
    // false to stop (the slots are then deleted and discoverSystem returns -1).
    std::function<bool(quint16 slotCount)> acceptCrate;
    // Called before each slot is discovered, with the slot index.
    std::function<void(int slot)> beforeSlot;
    // Called for each channel status parameter whose value fails the check.
    std::function<void(ORVEHVNode *statusParameter)> channelNotOk;
};

// Step 1: system properties appended to the system node's parameters.
void discoverSystemProperties(ORVEHVNode *systemNode);
// Step 3 for one slot node already added to the system node: information,
// parameters with metadata and unit texts, channels and their parameters
// with metadata, unit texts and tool tips. Containers are left as they are.
void discoverBoard(ORVEHVNode *systemNode, ORVEHVNode *board,
                   const std::function<void(ORVEHVNode *)> &channelNotOk = {});
// Step 4: connection items appended to the system node's parameters.
void discoverConnectionItems(ORVEHVNode *systemNode);

// Steps 1 to 4 on a system node that has its handle, connection data and
// connection state: 0, or -1 when acceptCrate refused the crate (the
// system properties stay, no slot is added).
int discoverSystem(ORVEHVNode *systemNode, const DiscoveryHooks &hooks = {});

#endif
