/*
 * ORVEHVWrapper.h - device-access library of the ORVE high-voltage systems.
 *
 * Every function returns an int result code, ORVEHV_OK (0) meaning success.
 * Lists the library allocates are released with ORVEHV_Free (also after a
 * failed call; a null pointer is accepted), event arrays with
 * ORVEHV_FreeEventData. Names are ASCII. Slots and channels are unsigned
 * 16-bit; a "single-entry list" is a count of 1 and a pointer to one index.
 *
 * Usable from C and C++.
 */
#ifndef ORVEHVWRAPPER_H
#define ORVEHVWRAPPER_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(ORVEHV_BUILDING_LIBRARY)
#    define ORVEHV_API __declspec(dllexport)
#  else
#    define ORVEHV_API __declspec(dllimport)
#  endif
#else
#  define ORVEHV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- codes */
/* Result codes. Codes 0, 1, 27 and 4103 are fixed; callers test them. */
#define ORVEHV_OK                   0      /* success */
#define ORVEHV_PARTIAL              1      /* subscription call carried out, but no name was accepted */
#define ORVEHV_NO_EVENT_DATA        27     /* 0x1B: GetEventData waited and nothing arrived yet */
#define ORVEHV_ERR_UNKNOWN_SYSTEM   4097   /* 0x1001: no system answers at this type/link/argument */
#define ORVEHV_ERR_BAD_HANDLE       4098   /* 0x1002: handle not open (never opened or closed) */
#define ORVEHV_ERR_CONNECTION_LOST  4099   /* 0x1003: the system or its event connection is gone */
#define ORVEHV_ERR_UNKNOWN_PARAM    4100   /* 0x1004: no such parameter, property, slot or channel */
#define ORVEHV_ERR_OUT_OF_RANGE     4101   /* 0x1005: value outside Minval..Maxval, name too long */
#define ORVEHV_ERR_WRITE_REFUSED    4102   /* 0x1006: read-only item, or the device refused the write */
#define ORVEHV_ERR_LOGIN            4103   /* 0x1007: wrong user name or password */
#define ORVEHV_ERR_BAD_ARGUMENT     4104   /* 0x1008: null pointer, bad count, over-long text, bad list */
#define ORVEHV_ERR_NO_MEMORY        4105   /* 0x1009: the library could not allocate a list */
#define ORVEHV_ERR_BAD_EVENT_DATA   4106   /* 0x100A: malformed, truncated or oversized event stream */
#define ORVEHV_ERR_DEVICE           4107   /* 0x100B: the device did not answer the request */
#define ORVEHV_ERR_UNSUPPORTED      4108   /* 0x100C: command or type not supported by this system */

/* ---------------------------------------------------------- type codes */
/* System types */
#define ORVEHV_SYS_MF3300     2
#define ORVEHV_SYS_MF3500     3
#define ORVEHV_SYS_VMEHV      5
#define ORVEHV_SYS_NIMDT      6
#define ORVEHV_SYS_DK31XX     9
#define ORVEHV_SYS_DK31XXE    11
#define ORVEHV_SYS_BRISK      13   /* also the power supply boxes */
#define ORVEHV_SYS_PLEX       14
#define ORVEHV_SYS_B8181      16

/* Link types */
#define ORVEHV_LINK_TCPIP     0
#define ORVEHV_LINK_USB       3
#define ORVEHV_LINK_OPTLINK   4
#define ORVEHV_LINK_VCPUSB    5
#define ORVEHV_LINK_USB3      6
#define ORVEHV_LINK_J5910     7

/* Parameter types (property "Type") */
#define ORVEHV_PARAM_NUMERIC  0   /* float */
#define ORVEHV_PARAM_ONOFF    1   /* unsigned 32-bit */
#define ORVEHV_PARAM_CHSTATUS 2   /* signed 32-bit */
#define ORVEHV_PARAM_BDSTATUS 3   /* signed 32-bit */
#define ORVEHV_PARAM_BINARY   4   /* signed 32-bit bit field */
#define ORVEHV_PARAM_STRING   5   /* NUL-terminated text */
#define ORVEHV_PARAM_ENUM     6   /* signed 32-bit */

/* Parameter and system-property access modes (property "Mode") */
#define ORVEHV_MODE_RDONLY    0
#define ORVEHV_MODE_WRONLY    1
#define ORVEHV_MODE_RDWR      2

/* System-property types (GetSysPropInfo) */
#define ORVEHV_SYSPROP_STR    0   /* text, read buffer 2048 bytes, write from <= 80 bytes */
#define ORVEHV_SYSPROP_REAL   1   /* float */
#define ORVEHV_SYSPROP_UINT2  2   /* unsigned 16-bit */
#define ORVEHV_SYSPROP_UINT4  3   /* unsigned 32-bit */
#define ORVEHV_SYSPROP_INT2   4   /* signed 16-bit */
#define ORVEHV_SYSPROP_INT4   5   /* signed 32-bit */
#define ORVEHV_SYSPROP_BOOL   6   /* signed 16-bit, 0 or 1 */

/* Event record types (IDValue_t.Type) */
#define ORVEHV_EVENT_PARAMETER    0  /* a subscribed value changed */
#define ORVEHV_EVENT_LIVE_INSERT  1  /* a board was inserted or removed */
#define ORVEHV_EVENT_KEEPALIVE    2  /* nothing else to send: sent at least every
                                        ORVEHV_KEEPALIVE_SECONDS of the system's time */
#define ORVEHV_KEEPALIVE_SECONDS  5
#define ORVEHV_EVENT_TRANSPARENT  3  /* the system entered transparent mode */

/* ------------------------------------------------------------- limits */
#define ORVEHV_MAX_ARG_LEN          80    /* connection argument buffer, NUL included */
#define ORVEHV_PARAM_NAME_CELL      10    /* name cells of the parameter lists */
#define ORVEHV_CHANNEL_NAME_LEN     12    /* channel name buffer, NUL included */
#define ORVEHV_SYSPROP_TEXT_READ    2048  /* text system-property read buffer */
#define ORVEHV_SYSPROP_TEXT_WRITE   80    /* text system-property write buffer */
#define ORVEHV_STATE_TEXT_LEN       1024  /* "Onstate"/"Offstate" read buffer */
#define ORVEHV_ENUM_CELL            15    /* one "Enum" text cell, NUL included */
#define ORVEHV_ENUM_BUFFER          152   /* "Enum" read buffer: ten 15-byte cells */
#define ORVEHV_ENUM_MAX_TEXTS       10
#define ORVEHV_ITEM_NAME_LEN        20
#define ORVEHV_EVENT_VALUE_LEN      1024
#define ORVEHV_EVENT_ID_LEN         40    /* identifier block sent first on an event connection */
#define ORVEHV_MAX_BOARDS           16    /* board words in the system status record */

/* ------------------------------------------------------------ records */
typedef struct {
    int32_t Type;                               /* offset 0: ORVEHV_EVENT_* */
    int32_t SystemHandle;                       /* offset 4 */
    int32_t BoardIndex;                         /* offset 8: slot */
    int32_t ChannelIndex;                       /* offset 12 */
    char    ItemID[ORVEHV_ITEM_NAME_LEN];       /* offset 16: NUL-terminated name */
    char    Value[ORVEHV_EVENT_VALUE_LEN];      /* offset 36: value, by parameter type */
} IDValue_t;                                    /* 1060 bytes */

typedef struct {
    int32_t System;                             /* event status of the system: 0 in service,
                                                   1 a board reports a problem, 2 not serving
                                                   (transparent mode) */
    int32_t Board[ORVEHV_MAX_BOARDS];           /* event status of boards 0..15: 0 fine, 1 a channel
                                                   in alarm, 2 a board fault, -1 no board in the slot */
} ORVEHV_SYSTEMSTATUS_t;                        /* 68 bytes */

#if defined(__cplusplus)
static_assert(sizeof(IDValue_t) == 1060, "IDValue_t layout");
static_assert(offsetof(IDValue_t, SystemHandle) == 4, "IDValue_t layout");
static_assert(offsetof(IDValue_t, BoardIndex) == 8, "IDValue_t layout");
static_assert(offsetof(IDValue_t, ChannelIndex) == 12, "IDValue_t layout");
static_assert(offsetof(IDValue_t, ItemID) == 16, "IDValue_t layout");
static_assert(offsetof(IDValue_t, Value) == 36, "IDValue_t layout");
static_assert(sizeof(ORVEHV_SYSTEMSTATUS_t) == 68, "ORVEHV_SYSTEMSTATUS_t layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(IDValue_t) == 1060, "IDValue_t layout");
_Static_assert(offsetof(IDValue_t, SystemHandle) == 4, "IDValue_t layout");
_Static_assert(offsetof(IDValue_t, BoardIndex) == 8, "IDValue_t layout");
_Static_assert(offsetof(IDValue_t, ChannelIndex) == 12, "IDValue_t layout");
_Static_assert(offsetof(IDValue_t, ItemID) == 16, "IDValue_t layout");
_Static_assert(offsetof(IDValue_t, Value) == 36, "IDValue_t layout");
_Static_assert(sizeof(ORVEHV_SYSTEMSTATUS_t) == 68, "ORVEHV_SYSTEMSTATUS_t layout");
#endif

/* ---------------------------------------------------------- functions */

/* Opens a system. arg: NUL-terminated connection argument of at most 79
 * characters (IP address, "bridge_link_address", "COM3_9600_8_0_0_0", ...),
 * compared without regard to case. Empty userName/passwd for systems without
 * a login (what is passed is then ignored). MF3300 and MF3500 (types 2 and 3)
 * reach the same crates. A system in transparent mode answers no call but
 * ORVEHV_DeinitSystem (ORVEHV_ERR_DEVICE). */
ORVEHV_API int ORVEHV_InitSystem(int systemType, int linkType, const char *arg,
                                 const char *userName, const char *passwd, int *handle);
ORVEHV_API int ORVEHV_DeinitSystem(int handle);

/* Crate map. Six lists, each freed with ORVEHV_Free:
 * nrOfChList: channels per slot (0 = empty slot), slotCount entries;
 * modelList, descriptionList: slotCount NUL-terminated texts back to back;
 * serNumList: 32-bit serial numbers; fmwRelMinList, fmwRelMaxList: a byte each. */
ORVEHV_API int ORVEHV_GetCrateMap(int handle, unsigned short *slotCount,
                                  unsigned short **nrOfChList, char **modelList,
                                  char **descriptionList, uint32_t **serNumList,
                                  unsigned char **fmwRelMinList, unsigned char **fmwRelMaxList);

/* System properties. propNameList: numProp NUL-terminated names back to back. */
ORVEHV_API int ORVEHV_GetSysPropList(int handle, unsigned short *numProp, char **propNameList);
ORVEHV_API int ORVEHV_GetSysPropInfo(int handle, const char *propName,
                                     unsigned int *propMode, unsigned int *propType);
/* The value cell is read/written by the property's type (ORVEHV_SYSPROP_*):
 * text reads fill at most ORVEHV_SYSPROP_TEXT_READ bytes, text writes take a
 * NUL-terminated text of at most 79 characters. "EventDataSocket" (B8181
 * systems) reads an int: the socket the library opened for the system's
 * events, to be passed to ORVEHV_GetEventData. */
ORVEHV_API int ORVEHV_GetSysProp(int handle, const char *propName, void *propValue);
ORVEHV_API int ORVEHV_SetSysProp(int handle, const char *propName, void *propValue);

/* Parameter lists: names in 10-byte cells, ended by an empty cell; freed
 * with ORVEHV_Free. GetChParamInfo also gives the count. */
ORVEHV_API int ORVEHV_GetBdParamInfo(int handle, unsigned short slot, char **parNameList);
ORVEHV_API int ORVEHV_GetChParamInfo(int handle, unsigned short slot, unsigned short channel,
                                     char **parNameList, int *parNumber);

/* Parameter properties, written into the caller's buffer:
 * "Type", "Mode": unsigned 32-bit; "Minval", "Maxval": float;
 * "Unit": unsigned 16-bit; "Exp", "Decimal": signed 16-bit;
 * "Onstate", "Offstate": text, buffer of ORVEHV_STATE_TEXT_LEN bytes;
 * "Enum": buffer of ORVEHV_ENUM_BUFFER bytes, 15-byte cells, cell i holding
 *         the text of value Minval + i, at most ten cells (board and channel
 *         parameters alike). A property a parameter does not have gives
 *         ORVEHV_ERR_UNKNOWN_PARAM. */
ORVEHV_API int ORVEHV_GetBdParamProp(int handle, unsigned short slot, const char *parName,
                                     const char *propName, void *retVal);
ORVEHV_API int ORVEHV_GetChParamProp(int handle, unsigned short slot, unsigned short channel,
                                     const char *parName, const char *propName, void *retVal);

/* Parameter values. Value cells by parameter type: numeric float; on/off
 * unsigned 32-bit; status words, bit fields, enumerations signed 32-bit;
 * text NUL-terminated (board parameters only; reads fill at most 1024 bytes,
 * one slot per call). One value per listed slot/channel; a write sets the one
 * value to every listed slot/channel, or to none when any of them is refused.
 * Reading a write-only parameter gives ORVEHV_ERR_UNSUPPORTED; on/off writes
 * take 0 or 1 only; bit fields are compared with Minval/Maxval as unsigned.
 * Switching a channel on ("Pw" 1) is refused (ORVEHV_ERR_WRITE_REFUSED) while
 * an interlock, an external disable or a kill holds it off, or while the
 * crate's 48 V supply (system property "ACDCPwr") is switched off. */
ORVEHV_API int ORVEHV_GetBdParam(int handle, unsigned short slotNum, const unsigned short *slotList,
                                 const char *parName, void *parValList);
ORVEHV_API int ORVEHV_SetBdParam(int handle, unsigned short slotNum, const unsigned short *slotList,
                                 const char *parName, void *parValue);
ORVEHV_API int ORVEHV_GetChParam(int handle, unsigned short slot, const char *parName,
                                 unsigned short chNum, const unsigned short *chList, void *parValList);
ORVEHV_API int ORVEHV_SetChParam(int handle, unsigned short slot, const char *parName,
                                 unsigned short chNum, const unsigned short *chList, void *parValue);

/* Channel names: 12-byte cells, one per listed channel; a name longer than
 * 11 characters is refused with ORVEHV_ERR_OUT_OF_RANGE. */
ORVEHV_API int ORVEHV_GetChName(int handle, unsigned short slot, unsigned short chNum,
                                const unsigned short *chList, char (*chNameList)[ORVEHV_CHANNEL_NAME_LEN]);
ORVEHV_API int ORVEHV_SetChName(int handle, unsigned short slot, unsigned short chNum,
                                const unsigned short *chList, const char *chName);

/* System commands: "GlobalOn", "GlobalOff", "Kill", "ClearAlarm", "BdClr".
 * Each family takes its own set (ORVEHV_ERR_UNSUPPORTED otherwise): MF3300/
 * MF3500, B8181, PLEX, DK31XXE: Kill, ClearAlarm, GlobalOn, GlobalOff;
 * BRISK HV and power supply boxes: BdClr, Kill, GlobalOn, GlobalOff;
 * DK31XX: Kill, ClearAlarm; VME HV and NIM units: none (their channels are
 * switched off by writing "Pw", alarms cleared by the board's "ClrAlarm").
 * "GlobalOn" is refused (ORVEHV_ERR_WRITE_REFUSED) while the crate's 48 V
 * supply is switched off. */
ORVEHV_API int ORVEHV_ExecComm(int handle, const char *commName);

/* Subscriptions. paramNameList: names joined by ':'; paramNum names;
 * listOfResultCodes: paramNum bytes the library fills, 0 = subscribed.
 * eventPort: the local TCP port on which the caller accepts event
 * connections. The library (or the system) connects to 127.0.0.1:eventPort.
 * A networked (TCP/IP) system opened by a loopback address of its own
 * (127.x.y.z other than 127.0.0.1) connects from that address and sends event
 * batches at once: the caller knows it by its peer address. Every other
 * system connects from 127.0.0.1 and first sends a 40-byte block holding the
 * connection argument padded with NUL bytes, then event batches (B8181: see
 * "EventDataSocket"). */
ORVEHV_API int ORVEHV_SubscribeSystemParams(int handle, unsigned short eventPort,
                                            const char *paramNameList, unsigned int paramNum,
                                            char *listOfResultCodes);
ORVEHV_API int ORVEHV_UnSubscribeSystemParams(int handle, unsigned short eventPort,
                                              const char *paramNameList, unsigned int paramNum,
                                              char *listOfResultCodes);
ORVEHV_API int ORVEHV_SubscribeBoardParams(int handle, unsigned short eventPort, unsigned short slot,
                                           const char *paramNameList, unsigned int paramNum,
                                           char *listOfResultCodes);
ORVEHV_API int ORVEHV_UnSubscribeBoardParams(int handle, unsigned short eventPort, unsigned short slot,
                                             const char *paramNameList, unsigned int paramNum,
                                             char *listOfResultCodes);
ORVEHV_API int ORVEHV_SubscribeChannelParams(int handle, unsigned short eventPort, unsigned short slot,
                                             unsigned short channel, const char *paramNameList,
                                             unsigned int paramNum, char *listOfResultCodes);
ORVEHV_API int ORVEHV_UnSubscribeChannelParams(int handle, unsigned short eventPort, unsigned short slot,
                                               unsigned short channel, const char *paramNameList,
                                               unsigned int paramNum, char *listOfResultCodes);

/* Result bytes of the subscription calls: 0 subscribed (or unsubscribed),
 * 1 unknown or write-only name, 2 refused by the system. The call returns
 * ORVEHV_OK when at least one name was accepted, ORVEHV_PARTIAL when none
 * was, and fails as a whole (ORVEHV_ERR_CONNECTION_LOST) when the event
 * connection to 127.0.0.1:eventPort cannot be opened. Names are joined by ':'
 * and their number must equal paramNum (else ORVEHV_ERR_BAD_ARGUMENT).
 * Channel subscriptions accept "Name" (the channel name) besides the
 * parameters. One connection per system serves every handle of it; it closes
 * when the last handle of the system is closed. */

/* Reads one event batch from an event connection (the accepted socket, its
 * 40-byte identifier block already read when it came from 127.0.0.1, or the B8181
 * "EventDataSocket"). Waits about one second: ORVEHV_NO_EVENT_DATA when
 * nothing came, ORVEHV_ERR_CONNECTION_LOST when the peer closed,
 * ORVEHV_ERR_BAD_EVENT_DATA for a malformed batch. On success *eventData is
 * an array of *dataNumber records (possibly null when 0), freed with
 * ORVEHV_FreeEventData. */
ORVEHV_API int ORVEHV_GetEventData(int sock, ORVEHV_SYSTEMSTATUS_t *sysStatus,
                                   IDValue_t **eventData, unsigned int *dataNumber);
ORVEHV_API int ORVEHV_FreeEventData(IDValue_t **listOfData);

/* Value areas of parameter records (IDValue_t.Value): numeric parameters a
 * 32-bit float; on/off an unsigned 32-bit 0/1; status words, bit fields and
 * enumerations a signed 32-bit integer (the same cells reads give); channel
 * names ("Name") and text items NUL-terminated text. System properties by
 * their type: text as text, real as float, every integer type as a 32-bit
 * integer. Board index -1 marks a system property, channel index -1 a board
 * parameter. A batch holds at most 4096 records. Once a batch has started to
 * arrive, the rest must follow within a few seconds, else it counts as
 * truncated (ORVEHV_ERR_BAD_EVENT_DATA). */

/* Releases a list the library allocated; null is accepted. */
ORVEHV_API int ORVEHV_Free(void *arg);

#ifdef __cplusplus
}
#endif

#endif /* ORVEHVWRAPPER_H */
