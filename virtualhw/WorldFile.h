// WorldFile.h - the world file: which virtual systems exist and what they hold.
//
// A world is a JSON document (UTF-8, ASCII names). The library loads it from
// the file named by the ORVEHV_WORLD environment variable at first use; without
// it the built-in default world serves (vhw::defaultWorldJson() prints it).
//
//   {
//     "models": [                          // optional: extra board models
//       { "name": "X100",                  // unique, at most 15 characters
//         "base": "A1520",                 // built-in model it copies
//         "description": "8 ch 3 kV",      // optional overrides:
//         "channels": 8, "vmax": 3000, "imax": 1000 }
//     ],
//     "systems": [
//       { "type": 2,                       // ORVEHV_SYS_* code
//         "link": 0,                       // ORVEHV_LINK_* code
//         "argument": "192.0.2.10",        // as InitSystem receives it (< 80 chars,
//                                          // compared case-insensitively)
//         "loopbackAddress": "127.0.2.10", // optional: a 127.0.0.0/8 address that
//                                          // InitSystem also opens this system by
//                                          // (same login); the autodetection
//                                          // responder answers for a mainframe from
//                                          // it, and the event connection of a handle
//                                          // opened by it is identified by it
//         "description": "MF3300 crate",   // optional
//         "user": "admin", "password": "admin",   // optional: login required
//         "slots": 16,                     // optional: slot count (default by type)
//         "properties": {                  // optional: system property values
//           "IPAddr": "192.0.2.10", "HVFanSpeed": 2 },
//         "boards": [
//           { "slot": 0,
//             "model": "A1520",            // built-in or from "models"
//             "channels": 12,              // optional: default by model
//             "serial": 1001,              // optional
//             "firmware": [1, 4],          // optional: [major, minor]
//             "load": 100,                 // optional: load in megaohm per channel
//             "values": { "VSet": 500, "RUp": 50 },    // optional: every channel
//             "names": ["BEAM-L", "BEAM-R"] }          // optional: channel names
//         ] }
//     ]
//   }
//
// Unknown keys are refused (typos must not pass silently), as are duplicate
// systems (same type, link and argument or loopback address), loopback
// addresses outside 127.0.0.0/8 or not dotted decimal, slots outside the crate, two boards
// in one slot, unknown models or parameters, and values of the wrong JSON type.
// Built-in models (vhw::boardModels()): A1520 (12 ch), A1535N (24 ch, lists
// its channel parameters out of priority order), A1550P (48 ch, "TripInt"/"TripExt"), A1560 (12 ch,
// "TripInt"/"TripExt"), B8001 (B8181 board), V6533 and V6519 (VME HV, "V0Set"/
// "I0Set"), N1470 (NIM, board parameter "ClrAlarm"), D3104 (DK31XX), D3108E
// (DK31XXE), B5600 (BRISK HV), S2104 (power supply box), P7200 (PLEX).
// A channel that starts with "Pw" 1 starts settled at its set voltage.
#ifndef VIRTUALHW_WORLDFILE_H
#define VIRTUALHW_WORLDFILE_H

#include "virtualhw/VirtualControl.h"

#include <string>

namespace vhw {

struct World;

// Parses a world document. `sourceName` names the source in messages. Returns
// false with *error = "<sourceName>:<line>: <what is wrong>" on any fault.
bool parseWorld(const std::string &json, const std::string &sourceName, World &out,
                std::string *error);

// Reads and checks a world file without making it the world: false with
// *error = "<path>:<line>: <what is wrong>" (line 0: it cannot be read).
// Lets a program refuse a bad file when it starts, not at first use.
VHW_API bool checkWorldFile(const std::string &path, std::string *error);

// The built-in default world, as a world document.
const char *builtinWorldJson();

} // namespace vhw

#endif
