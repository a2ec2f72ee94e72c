// VirtualControl.h - control interface of the virtual hardware.
//
// The device library (ORVEHVWrapper) runs on a world of simulated systems held
// in this process. Tests, fault drills, benchmarks and tools steer that world
// through the functions below; the program itself never needs them.
//
// Everything here is thread-safe (one lock over the world, shared with the
// library calls). Functions returning int give an ORVEHV_* result code
// (ORVEHV_OK = 0 on success, ORVEHV_ERR_UNKNOWN_SYSTEM for a bad system id,
// ORVEHV_ERR_UNKNOWN_PARAM for an unknown slot/channel/name).
//
// A system is addressed by its id: the index returned by findSystem(), stable
// until the next loadWorld*/resetWorld. Ids are not library handles: one system
// may be opened several times (several handles); its event connection is
// shared by all of them, each handle subscribes and unsubscribes for itself.
//
// Typical test:
//     vhw::setTimeMode(vhw::TimeMode::Manual);
//     vhw::resetWorld();
//     int sys = vhw::findSystem("192.0.2.10");
//     vhw::setChannelParam(sys, 0, 3, "VSet", 500);
//     vhw::advanceTime(10.0);
#ifndef VIRTUALHW_VIRTUALCONTROL_H
#define VIRTUALHW_VIRTUALCONTROL_H

#include <cstdint>
#include <string>
#include <vector>

#define VHW_API __attribute__((visibility("default")))

namespace vhw {

// ------------------------------------------------------------------ world

// Replaces the world by the one in a JSON file / JSON text (format: WorldFile.h).
// Open handles and event connections of the old world are closed (calls on
// them give ORVEHV_ERR_BAD_HANDLE). On failure the old world stays and *error
// (if given) holds "<file>:<line>: <what is wrong>" (file "<string>" for text).
VHW_API bool loadWorldFile(const std::string &path, std::string *error = nullptr);
VHW_API bool loadWorldJson(const std::string &json, std::string *error = nullptr);

// Back to the built-in default world; when ORVEHV_WORLD is set and non-empty,
// that file is loaded instead (returns false and fills *error if it is bad; the
// built-in world then serves). The library makes the same choice at first use.
VHW_API bool resetWorld(std::string *error = nullptr);

// The built-in default world as JSON text (a starting point for own worlds).
VHW_API std::string defaultWorldJson();

// When the ORVEHV_WORLD file was refused at first use: its message
// ("<file>:<line>: <what>"), else empty. The library then runs the built-in
// world and also prints the message to standard error.
VHW_API std::string startupWorldError();

struct SystemInfo {
    int id = -1;               // for the functions below
    int systemType = 0;        // ORVEHV_SYS_*
    int linkType = 0;          // ORVEHV_LINK_*
    std::string argument;      // connection argument exactly as InitSystem takes it
    std::string loopbackAddress; // "127.x.y.z" that InitSystem also takes for it, or empty;
                                 // autodetection replies for it come from there
    std::string description;   // e.g. "MF3300 crate, 16 slots"
    std::string user;          // empty when the system has no login
    std::string password;
    bool hasLogin = false;
};

// Every system of the current world, in world-file order (autodetection
// responders, README tables, tests).
VHW_API std::vector<SystemInfo> listSystems();

// Id of the system with this connection argument or loopback alias (compared case-insensitively),
// optionally restricted to a system/link type (-1 = any); -1 when none.
VHW_API int findSystem(const std::string &argument, int systemType = -1, int linkType = -1);

// ----------------------------------------------------------------- values
// Setting from outside behaves like the device changing by itself: no range
// or mode checks, and a value event goes out if the item is subscribed.
// Numbers are converted to the item's cell type (on/off, status words, enums:
// integer). Status words set this way stay until physics next changes them.

VHW_API int setSysProp(int sys, const std::string &name, double value);
VHW_API int setSysProp(int sys, const std::string &name, const std::string &text);
VHW_API int setBoardParam(int sys, int slot, const std::string &name, double value);
VHW_API int setBoardParam(int sys, int slot, const std::string &name, const std::string &text);
VHW_API int setChannelParam(int sys, int slot, int channel, const std::string &name, double value);
VHW_API int setChannelName(int sys, int slot, int channel, const std::string &name);

// Current values as the device holds them (for assertions; NaN / empty when unknown).
VHW_API double sysPropValue(int sys, const std::string &name);
VHW_API std::string sysPropText(int sys, const std::string &name);
VHW_API double boardParamValue(int sys, int slot, const std::string &name);
VHW_API double channelParamValue(int sys, int slot, int channel, const std::string &name);
VHW_API std::string channelName(int sys, int slot, int channel);

// Load seen by a channel in megaohm (IMon = VMon / load); 0 = short circuit.
VHW_API int setChannelLoad(int sys, int slot, int channel, double megaohm);

// ----------------------------------------------------------------- faults

// Make every read (Get*) / write (Set*, ExecComm for commands) of the named item
// on this system fail with `code` until cleared (code 0 clears one name). The
// name is a parameter, system property or command name ("VSet", "IPAddr",
// "Kill"; "Name" for channel names), or "*" for all. Read faults may also name
// "InitSystem", "CrateMap" and "SysPropList" to fail those calls.
VHW_API int failRead(int sys, const std::string &name, int code);
VHW_API int failWrite(int sys, const std::string &name, int code);
// Clears read/write faults, login refusal, subscription refusals and the
// status conditions below of one system, or of all systems when sys is -1.
VHW_API void clearFaults(int sys = -1);

// InitSystem gives ORVEHV_ERR_LOGIN for this system even with the right login.
VHW_API int refuseLogin(int sys, bool refuse = true);
// Subscribing these names (system, board or channel items alike) gets a
// nonzero result byte (replaces the previous list; empty = refuse none).
VHW_API int refuseSubscriptions(int sys, const std::vector<std::string> &names);

// Standing conditions that channels and boards report in their status words.
// Each family has its own bit for a condition; one it cannot report gives
// ORVEHV_ERR_UNSUPPORTED. A raised condition stays in the status word (with
// a status event) until it is cleared again. Interlock, ExternalDisable and
// Kill switch the channel off, and switching it on is refused (Pw write:
// ORVEHV_ERR_WRITE_REFUSED) while one of them stands. NIM units report a
// channel with a raised condition as a channel alarm of their board.
enum class ChannelFault {
    OverCurrent, OverVoltage, UnderVoltage, UnderCurrent, Tripped, ExternalTrip, Kill, HVMax, IMax,
    OverPower, OverTemperature, TemperatureWarning, TemperatureError, ExternalDisable, Interlock,
    CalibrationError, Unplugged, OverVoltageProtection, PowerFail, Resetting, FanHigh, CommFail, Lock
};
enum class BoardFault {
    PowerFail, FirmwareChecksum, CalibrationError, TemperatureError, UnderTemperature, OverTemperature,
    OverPower, ClockFail, Interlock
};
VHW_API int setChannelFault(int sys, int slot, int channel, ChannelFault fault, bool raised = true);
VHW_API int setBoardFault(int sys, int slot, BoardFault fault, bool raised = true);
// The status bit a family (system type) reports a condition with; -1 when none.
VHW_API int channelFaultBit(int systemType, ChannelFault fault);
VHW_API int boardFaultBit(int systemType, BoardFault fault);

// Closes the system's event connection from the library side (the peer sees
// end of stream). A later subscription opens a new one.
VHW_API int dropEventConnection(int sys);
// Sends raw bytes on the system's open event connection, bypassing the
// framing (garbage tests). ORVEHV_ERR_CONNECTION_LOST when none is open.
VHW_API int sendRawEventBytes(int sys, const std::string &bytes);
// Queues n value events (type 0, "VMon" of the first channel, changing
// values) on the open event connection; returns ORVEHV_OK once queued.
VHW_API int floodEvents(int sys, unsigned int n);
// Queues n "VMon" value events cycling over every channel of every board in
// slot order; the k-th carries (k % 100000) / 10. perSecond > 0 paces them.
// A new flood replaces what is left of the previous one.
VHW_API int floodChannelEvents(int sys, unsigned int n, unsigned int perSecond = 0);
// The system stops sending on its event connection (values, keep-alives,
// status), as a device whose network stalls, while the connection stays
// open; what it would have sent waits (the newest value of each item) and
// goes out once released. Holds across a new connection until released.
VHW_API int holdEvents(int sys, bool hold = true);
// True while the system has an open event connection.
VHW_API bool hasEventConnection(int sys);

// ---------------------------------------------------------------- boards

// Inserts a board of a model the world knows ("A1520", ...) into an empty slot
// (changes the crate map, sends a live-insertion event); channels 0 = model's count.
VHW_API int insertBoard(int sys, int slot, const std::string &model, int channels = 0);
VHW_API int removeBoard(int sys, int slot);
// Replaces the board in a slot by another of the same model with this serial
// number, its values at their defaults, as when a board is swapped while the
// crate is off: the crate map reports the new serial, no event goes out.
VHW_API int swapBoard(int sys, int slot, uint32_t serial);
// Board model names the current world knows.
VHW_API std::vector<std::string> boardModels();

// The system enters transparent mode: a type-3 event goes out and every
// further library call on it gives ORVEHV_ERR_DEVICE (its event status word
// is 2) until it leaves the mode again or the world is reset.
VHW_API int enterTransparentMode(int sys);
// The system returns from transparent mode and answers again; it announces
// itself with a live-insertion event (type 1), as a unit back in service does.
VHW_API int leaveTransparentMode(int sys);

// ------------------------------------------------------------------ time

enum class TimeMode {
    WallClock,  // default: a physics thread ticks about ten times a second
    Manual      // time moves only through advanceTime() (tests)
};
VHW_API void setTimeMode(TimeMode mode);
VHW_API TimeMode timeMode();
// Runs the physics of every system for `seconds` of simulated time in small
// steps (0.1 s), sending the resulting events. Works in both modes.
VHW_API void advanceTime(double seconds);
// Simulated seconds since the world was loaded.
VHW_API double simulatedTime();

// -------------------------------------------------------------- counters

// Number of ORVEHV_* library calls since the last reset (discovery figures);
// ORVEHV_GetEventData, ORVEHV_FreeEventData and ORVEHV_Free are not counted.
VHW_API uint64_t libraryCallCount();
VHW_API void resetLibraryCallCount();

} // namespace vhw

#endif
