#pragma once

#include <QString>

// What the connect dialog hands each complete row to: the main window opens the
// system and adds its node. Kept as an interface so the dialog is testable
// without a main window and the main window needs nothing of the dialog.
class SystemConnector
{
public:
    virtual ~SystemConnector() = default;

    // Returns 0 when the system was connected, 1 when not (the connector has
    // told the operator why). systemType and linkType are the device
    // library's codes; connectionArgument is its address string.
    virtual int connectToSystem(int systemType, int linkType, const QString &connectionArgument,
                                 const QString &displayName, const QString &userName,
                                 const QString &password) = 0;
};
