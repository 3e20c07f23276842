// ondrelle: the publisher's tool, beside the launcher.
#include "command_line.h"

int main(int argc, char** argv) { return publisher::RunCommandLine(argc, argv); }
