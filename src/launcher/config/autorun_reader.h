// Turns autorun.inf beside the executable into the launch settings.
#ifndef ONDRELLE_AUTORUN_READER_H
#define ONDRELLE_AUTORUN_READER_H

// Either leaves errMsg untouched with LaunchState.pagePath naming the page,
// or writes one of its four messages into errMsg with LaunchState all zero.
void ReadAutorun();

// The four messages, so that a caller can tell which one a run wrote.
extern const char kMissingInf[];        // A: no autorun.inf beside the program
extern const char kIncorrectInf[];      // B: no open= value, or a token refused
extern const char kPageMissingStart[];  // C: this, the page token, then kPageMissingEnd
extern const char kPageMissingEnd[];
extern const char kNoIndex[];           // D: no page token and no index file

#endif
