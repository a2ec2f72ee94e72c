// World.h - the data of the virtual hardware: board models, systems, boards,
// channels, and the per-family behaviour tables. Internal to virtualhw and the
// device library; tests and tools use VirtualControl.h.
#ifndef VIRTUALHW_WORLD_H
#define VIRTUALHW_WORLD_H

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace vhw {

class EventConnection;

// Library codes, repeated here so the simulator needs no C header.
enum ParamType { PNumeric = 0, POnOff = 1, PChStatus = 2, PBdStatus = 3, PBinary = 4, PString = 5, PEnum = 6 };
enum Mode { ReadOnly = 0, WriteOnly = 1, ReadWrite = 2 };
enum SysPropType { SText = 0, SReal = 1, SUInt2 = 2, SUInt4 = 3, SInt2 = 4, SInt4 = 5, SBool = 6 };

struct ParamDef {
    std::string name;                   // at most 9 characters (10-byte name cells)
    int type = PNumeric;
    int mode = ReadWrite;
    bool hasRange = false;              // Minval/Maxval (numeric, bit field, enumeration)
    float minval = 0, maxval = 0;
    bool hasUnit = false;               // Unit/Exp (numeric, bit field, enumeration)
    uint16_t unit = 0;
    int16_t exp = 0;
    bool hasDecimal = false;            // numeric and bit field
    int16_t decimal = 0;
    std::string onstate, offstate;      // on/off
    std::vector<std::string> enumTexts; // enumeration, value Minval + i
    double initial = 0;
};

struct SysPropDef {
    std::string name;
    int type = SText;
    int mode = ReadOnly;
    double initial = 0;
    std::string text;
    bool hasRange = false;
    double minval = 0, maxval = 0;
};

struct BoardModel {
    std::string name;                   // at most 15 characters
    std::string description;
    int channels = 0;
    double vmax = 0;                    // V
    double imax = 0;                    // uA
    uint8_t fwMajor = 1, fwMinor = 0;
    std::vector<ParamDef> boardParams;
    std::vector<ParamDef> channelParams; // in the order the library lists them
};

// Channel status bits of one family; -1 where the family has no such bit.
struct StatusBits {
    int on, up, down, ovc, trip, kill;
};

struct Family {
    int type = 0;
    const char *name = "";
    int defaultSlots = 1;
    StatusBits bits{-1, -1, -1, -1, -1, -1};
    std::vector<std::string> commands;  // accepted by ExecComm
    std::vector<SysPropDef> props;
};

// Family of a system type (2 and 3 share one); null for an unknown type.
const Family *familyOf(int systemType);
// The built-in board models.
const std::vector<BoardModel> &builtinModels();

struct Channel {
    std::string name;
    std::vector<double> values;         // one per model channel parameter
    double load = 100.0;                // megaohm
    double overTime = 0;                // seconds spent above ISet
    bool tripped = false;
    bool tripping = false;              // ramping down after a trip
    bool killed = false;
    int computedStatus = 0;             // last status word physics produced
    int faultBits = 0;                  // standing conditions raised through the control
};

struct Board {
    int slot = 0;
    BoardModel model;                   // copy: the world may override counts and limits
    uint32_t serial = 0;
    uint8_t fwMajor = 1, fwMinor = 0;
    std::vector<double> values;         // one per model board parameter
    std::vector<std::string> texts;     // text board parameters
    std::vector<Channel> channels;
    int computedStatus = 0;             // last board status word physics produced
    int faultBits = 0;                  // standing conditions raised through the control
};

struct SysProp {
    SysPropDef def;
    double num = 0;
    std::string text;
};

// Subscription key: board -1 for system items, channel -1 for board items.
using SubKey = std::tuple<int, int, std::string>;

struct System {
    int type = 0, link = 0;
    std::string argument, description, user, password;
    std::string loopbackAddress;        // discovery alias 127.x.y.z of argument, or empty
    bool hasLogin = false;
    int slotCount = 1;
    std::vector<SysProp> props;
    std::vector<std::unique_ptr<Board>> slots;  // slotCount entries, null = empty

    // run-time state
    std::map<std::string, int> readFaults, writeFaults;
    std::set<std::string> refusedSubs;
    bool refuseLogin = false;
    bool transparent = false;
    int openHandles = 0;
    // Each item with the handles that subscribed it: one handle's
    // unsubscription leaves the others' in place.
    std::map<SubKey, std::set<int>> subs;
    bool eventsHeld = false;            // sends nothing until released (holdEvents)
    std::shared_ptr<EventConnection> conn;
    std::vector<std::pair<int, std::string>> sessions;  // handle, "Sessions" record
    int lastHandle = 0;
    double keepAliveDue = 0;
};

struct World {
    std::vector<BoardModel> models;     // built-in ones first
    std::vector<std::unique_ptr<System>> systems;

    const BoardModel *model(const std::string &name) const;
};

// Builds a board of a model in a slot, values at their defaults.
std::unique_ptr<Board> makeBoard(const BoardModel &model, int slot, uint32_t serial);
// Fills a system's properties from its family, with defaults for its argument.
void initSystemProps(System &sys);

// Index of a name in a parameter list, -1 when absent (exact match).
int paramIndex(const std::vector<ParamDef> &defs, const std::string &name);
SysProp *findProp(System &sys, const std::string &name);

bool equalsNoCase(const std::string &a, const std::string &b);
// Whether a connection argument opens this system: its own or its loopback alias.
bool opensSystem(const System &s, const std::string &argument);

} // namespace vhw

#endif
