/* Version numbers for the VERSIONINFO block. Plain C. */
#ifndef ONDRELLE_VERSION_H
#define ONDRELLE_VERSION_H

#define ONDRELLE_VERSION_BIN  1,0,1,0
#define ONDRELLE_VERSION_TEXT "1.01"

#endif
