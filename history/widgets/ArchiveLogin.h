#ifndef ARCHIVELOGIN_H
#define ARCHIVELOGIN_H

// Opening the archive on a site's server that wants a password the client
// library did not find in ~/.pgpass: the operator is asked for it (three
// tries), and it lives only in memory for this session.

#include "history/Archive.h"

class QWidget;

namespace ArchiveLogin {

// True when the server refused the connection for want of a password, or
// for a wrong one.
bool wantsPassword(const QString &connectionError);

// Archive::open(), asking for the password first where it is needed.
bool open(Archive &archive, ArchiveOptions options, QWidget *parent);

} // namespace ArchiveLogin

#endif
