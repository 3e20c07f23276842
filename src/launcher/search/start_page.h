// Finds index.htm or index.html beside the executable or one level below.
#ifndef ONDRELLE_START_PAGE_H
#define ONDRELLE_START_PAGE_H

// Fills dest (MAX_PATH bytes) with the lower-cased path of the start page,
// or leaves it empty when there is none.
void FindStartPage(char* dest);

#endif
