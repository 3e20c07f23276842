// The URLs that a stylesheet makes a browser fetch, found by tokenizing the CSS as browsers do.
#ifndef ONDRELLE_PUBLISHER_STYLESHEET_H
#define ONDRELLE_PUBLISHER_STYLESHEET_H

#include <string>
#include <string_view>
#include <vector>

namespace publisher {

struct StyleReference {
    std::string url;      // as a browser takes it: escapes resolved, UTF-8
    unsigned line = 0;    // 1-based, counted from firstLine
    bool import = false;  // @import: a stylesheet that the browser reads in turn
};

// The URLs that a browser fetches for this CSS text: a stylesheet, a <style> block or a style= attribute's
// declarations (they tokenize the same way). `css` is UTF-8 (DecodePage's text); the references come in the
// order of the text. A browser never imports from a style= attribute: drop its import references.
std::vector<StyleReference> StyleReferences(std::string_view css, unsigned firstLine = 1);

}  // namespace publisher

#endif
