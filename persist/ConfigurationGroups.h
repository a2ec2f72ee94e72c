#ifndef CONFIGURATIONGROUPS_H
#define CONFIGURATIONGROUPS_H

// Channel groups saved with a configuration. The configuration file holds
// its base name; the groups follow it in the same data stream, as a tag
// string and a JSON text, so that a reader that takes only the base name
// (or only the path) never notices them, and a file without them reads as
// having no groups.
//
// A member is a channel: the connection argument of its system, its
// board's serial number (boards are found by serial, as the view files find
// them) and its position on the board. The file is untrusted input: the
// reader checks every field and says what is wrong.

#include <QByteArray>
#include <QList>
#include <QString>

class ORVEHVNode;

namespace ConfigurationGroups {

struct Member
{
    QString system;        // connection argument
    quint32 boardSerial = 0;
    int channel = -1;      // position on the board
    bool operator==(const Member &o) const
    {
        return system == o.system && boardSerial == o.boardSerial && channel == o.channel;
    }
};

struct Group
{
    QString name;
    QString parameter;
    QList<Member> members;
    bool operator==(const Group &o) const
    {
        return name == o.name && parameter == o.parameter && members == o.members;
    }
};

// The tag before the groups' JSON text.
extern const char *const Tag;

// What follows the base name in the configuration file (empty for no groups).
QByteArray encode(const QList<Group> &groups);
// Reads a whole configuration file's bytes: false with the reason when its
// group part is malformed. A file that ends after the base name has none.
bool decode(const QByteArray &configurationFile, QList<Group> *groups, QString *error);

// The member a channel node stands for, found under these system nodes;
// false when the channel is in none of them.
bool memberOf(const ORVEHVNode *channel, const QList<ORVEHVNode *> &systems, Member *member);
// The channel a member names among these system nodes, or null.
ORVEHVNode *channelOf(const Member &member, const QList<ORVEHVNode *> &systems);

} // namespace ConfigurationGroups

#endif
