// A site folder as the disc that is made of it: what is left out is gone,
// and for ondrelle disc the launcher and autorun.inf are added to the root,
// unless the site has its own. When that is not the folder as it stands, a
// scratch folder of links to the site's files shows it to the file layer.
#ifndef ONDRELLE_PUBLISHER_SITE_DISC_H
#define ONDRELLE_PUBLISHER_SITE_DISC_H

#include "disc_tree.h"
#include "result.h"

#include <filesystem>
#include <string>
#include <vector>

namespace publisher {

struct SiteDisc {
    DiscTree tree;
    std::vector<std::string> leftOut;  // raw paths
    std::vector<std::string> added;    // in the root: "kelmora.exe", "autorun.inf"
    std::string launcherName;          // the launcher in the root, the site's own or the added one; "" for none
    std::vector<std::string> replaced;  // in the root: files whose disc copy is not the site's, the signed launcher
    bool ownAutorun = false;
};

// What ondrelle disc adds to a root without them.
struct Additions {
    std::filesystem::path launcher;  // Ondrelle's launcher, to go in as kelmora.exe
    bool ie = false;
    std::string page;    // the page token of autorun.inf, "" for none
    std::string label;   // label= as written
};

// The site's tree, with what is left out taken out of it.
Result<SiteDisc> ReadSiteDisc(const std::filesystem::path& site, const std::vector<std::string>& exclude);

// The label as autorun.inf holds it for every reader: printable ASCII.
std::string AsciiLabel(const std::string& label);

// The generated autorun.inf, with CR LF line ends; the label's bytes are
// written as they are given.
std::string AutorunText(const std::string& launcher, bool ie, const std::string& page, const std::string& label);

// Adds the launcher, unless the root has one under any name, and autorun.inf,
// unless the root has its own; a generated file is written under `scratch`.
Result<bool> AddToRoot(SiteDisc& disc, const Additions& additions, const std::filesystem::path& scratch);

// Puts `origin` on the disc in place of the root's file `name`.
Result<bool> ReplaceInRoot(SiteDisc& disc, const std::string& name, const std::filesystem::path& origin);

// Shows the disc to the file layer: the tree's folder becomes `dir`, made
// under a scratch folder, when the disc is not the site folder as it stands.
Result<bool> ShowAsDisc(SiteDisc& disc, const std::filesystem::path& dir);

}  // namespace publisher

#endif
