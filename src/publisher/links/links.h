// The links of the pages and of the stylesheets they load, resolved as a
// browser resolves them on the disc (file URLs on drive D:), and checked
// against the tree and the targets' anchors.
#ifndef ONDRELLE_PUBLISHER_LINKS_H
#define ONDRELLE_PUBLISHER_LINKS_H

#include "code_page_names.h"
#include "disc_tree.h"
#include "findings.h"
#include "page_links.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publisher {

// Where a link leads from a page whose folder is `folder` ('/'-separated,
// "" for the root), after its <base> if any.
struct LinkTarget {
    enum class Kind { Ignored, External, Outside, Disc } kind = Kind::Ignored;
    // Disc: '/'-separated from the root, percent escapes decoded; Outside
    // above the root: the same from the root, "../libs/index.html".
    std::string path;
    std::string fragment;  // decoded; empty for none
    std::string why;       // Outside: what it is
};
LinkTarget ResolveLink(std::string_view url, const std::string& folder);

// Reads every page of the tree, and every stylesheet they load, once, and
// checks all their links, as browsers read them on Windows of each code page
// (the ANSI code pages of the readers). What depends on the code page, the
// pages that declare no encoding, is read and checked again for each.
void CheckLinks(const DiscTree& tree, Findings& findings, const CodePages& codePages = kWesternWindows);

}  // namespace publisher

#endif
