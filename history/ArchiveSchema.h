#ifndef ARCHIVESCHEMA_H
#define ARCHIVESCHEMA_H

// The archive's database file: opening a connection with the settings every
// connection needs (write-ahead log, busy wait), and bringing the schema up
// to the current version one migration step at a time. The schema version
// is SQLite's user_version.
//
// A site's shared database (PostgreSQL) is set up by its administrator with
// history/sql/site-schema.sql, not by the stations, which may not create
// tables there: for it, migrate() only checks the version that file wrote.

#include "history/ArchiveLocation.h"

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace ArchiveSchema {

// Version the migrations below bring a database to.
int currentVersion();
// Version of history/sql/site-schema.sql.
int siteVersion();
// The version this connection's database must have.
int expectedVersion(const QSqlDatabase &db);
bool isServer(const QSqlDatabase &db);

// Opens (creating when missing) the file, or connects to the server, under a
// connection name unique to the caller. Empty result on success, else what
// went wrong for the operator.
QString openConnection(const QString &connectionName, const ArchiveLocation &location, QSqlDatabase *db);
// After a lost connection to the server: closes and opens again. True when
// the server answers.
bool reconnect(QSqlDatabase &db);

// Applies the missing migration steps in one transaction each. Refuses a
// file written by a newer schema and one that is not a sound database.
QString migrate(QSqlDatabase &db);

// Version as stored in the file (0 for a new one; -1 when unreadable).
int storedVersion(QSqlDatabase &db);

// SQLite's own handle of a connection, for the bulk paths that bypass
// QSqlQuery's per-value cost; null for another driver.
sqlite3 *nativeHandle(const QSqlDatabase &db);

// Closes and forgets a connection opened by openConnection().
void closeConnection(const QString &connectionName);

} // namespace ArchiveSchema

#endif
