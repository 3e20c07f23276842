// The command line: `ondrelle check PATH [--json] [--quiet]`, `ondrelle disc SITE -o IMAGE ...`, --help and
// --version. Exit status: 0 when no finding is an error, 1 when one is, 2
// when the check could not run.
#ifndef ONDRELLE_PUBLISHER_COMMAND_LINE_H
#define ONDRELLE_PUBLISHER_COMMAND_LINE_H

namespace publisher {

int RunCommandLine(int argc, char** argv);

}  // namespace publisher

#endif
