#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// What the program takes from its command line: for now only a saved
// configuration to load ("kebodesk setup.csc").

#include <QString>
#include <QStringList>

namespace CommandLine {

// The configuration file named by the arguments (without the program name):
// exactly one argument ending with ".csc" (any letter case). Empty otherwise.
QString configurationToLoad(const QStringList &arguments);

} // namespace CommandLine

#endif
