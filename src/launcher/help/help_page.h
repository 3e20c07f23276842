// The help page: the template resource with errMsg at its top, written to
// the temp directory and handed to the shell.
#ifndef ONDRELLE_HELP_PAGE_H
#define ONDRELLE_HELP_PAGE_H

// True when help.htm was written and the shell accepted it.
bool ShowHelp();

#endif
