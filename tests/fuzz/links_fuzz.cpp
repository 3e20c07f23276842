// Any page through the link check, on a disc held in memory: the page is the
// disc's index.htm and sub/page.htm. Every link must resolve to a path on
// the disc or be classed otherwise, and every text that reaches the report
// must be UTF-8, so that the JSON writer never throws.
#include "code_page.h"
#include "disc_tree.h"
#include "fuzz_site.h"
#include "links.h"
#include "report.h"

#include <nlohmann/json.hpp>

#include <stdint.h>

#include <string>

namespace {

publisher::DiscNode File(const std::string& name, size_t size) {
    publisher::DiscNode node;
    node.name = name;
    node.size = size;
    return node;
}

void CheckPath(const std::string& path) {
    FUZZ_CHECK(path.empty() || (path[0] != '/' && path.back() != '/'), "a disc path with an outer slash");
    FUZZ_CHECK(("/" + path + "/").find("/../") == std::string::npos, "a disc path that climbs");
    FUZZ_CHECK(("/" + path + "/").find("/./") == std::string::npos, "a disc path with a dot segment");
    FUZZ_CHECK(path.find("//") == std::string::npos, "a disc path with an empty segment");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string page(reinterpret_cast<const char*>(data), size);

    publisher::PageLinks links = publisher::ExtractLinks(page);
    for (const publisher::PageLink& link : links.links) {
        FUZZ_CHECK(IsUtf8(link.url), "a link that is not UTF-8");
        for (const char* folder : {"", "sub", "a/b"}) {
            publisher::LinkTarget target = publisher::ResolveLink(link.url, folder);
            if (target.kind == publisher::LinkTarget::Kind::Disc) CheckPath(target.path);
        }
    }
    for (const std::string& anchor : links.anchors) FUZZ_CHECK(IsUtf8(anchor), "an anchor that is not UTF-8");

    publisher::DiscTree tree;
    tree.root.kind = publisher::NodeKind::Folder;
    tree.root.children.push_back(File("index.htm", size));
    publisher::DiscNode sub;
    sub.name = "sub";
    sub.kind = publisher::NodeKind::Folder;
    sub.children.push_back(File("page.htm", size));
    tree.root.children.push_back(sub);
    tree.reader = [&page](const publisher::DiscNode&, uint64_t) -> publisher::Result<std::string> { return page; };
    publisher::CheckResult result;
    result.plays.emplace_back();  // a check always has the play of one code page
    publisher::CheckLinks(tree, result.findings, {1252, 932});  // legacy pages read twice
    try {
        (void)publisher::JsonReport(result, "site");
        (void)publisher::TextReport(result, false, true);
    } catch (const nlohmann::json::exception&) {
        FUZZ_CHECK(false, "a finding that the JSON writer refuses");
    }
    return 0;
}
