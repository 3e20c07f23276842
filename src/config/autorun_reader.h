// Turns autorun.inf beside the executable into the launch settings.
#ifndef ONDRELLE_AUTORUN_READER_H
#define ONDRELLE_AUTORUN_READER_H

// Either leaves errMsg untouched with LaunchState.pagePath naming the page,
// or writes one of its four messages into errMsg with LaunchState all zero.
void ReadAutorun();

#endif
