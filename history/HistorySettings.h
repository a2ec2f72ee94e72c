#ifndef HISTORYSETTINGS_H
#define HISTORYSETTINGS_H

// The archive's settings in the program's QSettings, group "history":
//   databaseFile      the file (default: history.sqlite in the user's data
//                     location)
//   retentionDays     values and journal entries older than this go (7)
//   retentionMB       the values kept stay below this size (2048)
//   deadBand/<name>   dead band of a parameter, in its unit. Default: none
//                     for any parameter, so every value that arrives is kept
//                     (the systems send a value only when it changed).
//   server/host       a site's shared PostgreSQL archive instead of the file
//                     (empty: the file). Also server/port (5432),
//                     server/database (kebodesk), server/user (the login
//                     name), server/station (the host name: what this
//                     station's rows are called), server/backlogValues
//                     (values kept while the server is away, 1048576).
//                     There is no password key: it is asked, or the client
//                     library finds it in ~/.pgpass.

#include "history/Archive.h"

namespace HistorySettings {

ArchiveOptions load();

} // namespace HistorySettings

#endif
