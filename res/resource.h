/* Resource identifiers, shared by kelmora.rc and the C++ sources. Plain C. */
#ifndef ONDRELLE_RESOURCE_H
#define ONDRELLE_RESOURCE_H

#define IDR_HELPPAGE 101 /* help page template, type RT_HTML (23) */
#define IDI_APPICON  103 /* application icon group */

#endif
