#ifndef COMMANDLINE_H
#define COMMANDLINE_H

// The program's command line: --help, --version, --world FILE (the virtual
// hardware's world, as ORVEHV_WORLD) and an optional configuration file to
// open. Parsed before any window exists, so --help and --version work
// without a display.

#include <QString>
#include <QStringList>

struct CommandLine
{
    // -1: start the program; otherwise end at once with this code after
    // printing `output` (stdout for 0, stderr else).
    int exitCode = -1;
    QString output;
    QString worldFile;          // absolute path, or empty
    QString configurationFile;  // absolute path of a ".csc" file, or empty
};

// `arguments` as QCoreApplication::arguments() gives them (program first).
// A world file is read and checked here: a bad one ends the program with its
// "<file>:<line>: <what is wrong>".
CommandLine parseCommandLine(const QStringList &arguments);

// What is wrong with the world file ORVEHV_WORLD names ("<file>:<line>:
// <what is wrong>"), empty when it is unset or good. The virtual hardware then
// runs its built-in world, which the operator must be told.
QString environmentWorldProblem();

#endif
