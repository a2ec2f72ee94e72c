#ifndef TESTS_SUPPORT_WORLD_H
#define TESTS_SUPPORT_WORLD_H

// The virtual world as tests pick from it: a system by its connection
// argument, and the one-mainframe world of the web page tests.

#include "virtualhw/VirtualControl.h"

#include <string>

// A system of the current world by its connection argument (none: id -1).
inline vhw::SystemInfo worldSystem(const std::string &argument)
{
    for (const vhw::SystemInfo &s : vhw::listSystems())
        if (s.argument == argument)
            return s;
    return vhw::SystemInfo();
}

// One mainframe (192.0.2.10, answering at 127.0.2.10) whose web site takes
// this user name and password.
inline bool loadSiteWorld(const std::string &user, const std::string &password, std::string *error)
{
    return vhw::loadWorldJson("{ \"systems\": [ { \"type\": 2, \"link\": 0, \"argument\": \"192.0.2.10\", "
                              "\"loopbackAddress\": \"127.0.2.10\", \"user\": \"" + user + "\", \"password\": \"" +
                                  password + "\", \"slots\": 2 } ] }",
                              error);
}

#endif
