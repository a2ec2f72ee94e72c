#ifndef ARCHIVELOCATION_H
#define ARCHIVELOCATION_H

// Where the archive lives: the station's own SQLite file, or a site's shared
// PostgreSQL database that several stations write into. On the shared one
// every item and journal entry names the station that wrote it.

#include <QString>

struct ArchiveServer
{
    QString host;      // empty: no server, the file is used
    int port = 5432;
    QString database;
    QString user;
    // Never in the settings: asked from the operator, or empty so that the
    // client library takes it from ~/.pgpass.
    QString password;
    QString station;   // the name this station's rows carry
    int connectTimeoutS = 5;

    bool isSet() const { return !host.isEmpty(); }
};

struct ArchiveLocation
{
    ArchiveLocation(const QString &file = QString(), const ArchiveServer &site = ArchiveServer())
        : path(file), server(site)
    {
    }
    QString path;
    ArchiveServer server;

    bool isServer() const { return server.isSet(); }
    // For messages: the file, or user@host:port/database.
    QString describe() const
    {
        if (!isServer())
            return path;
        return QStringLiteral("%0@%1:%2/%3").arg(server.user, server.host).arg(server.port).arg(server.database);
    }
};

#endif
