// Code pages named for people, alone and in lists.
#include "code_page_names.h"

#include "code_page.h"

#include <algorithm>

namespace publisher {

void AddTextIn(std::vector<TextInCodePages>& groups, const std::string& text, unsigned codePage) {
    auto same = std::find_if(groups.begin(), groups.end(), [&](const TextInCodePages& g) { return g.text == text; });
    if (same == groups.end()) same = groups.insert(groups.end(), TextInCodePages{text, {}});
    same->codePages.push_back(codePage);
}

std::string CodePageLabel(unsigned codePage) {
    return std::to_string(codePage) + " (" + CodePageName(codePage) + ")";
}

std::string CodePageNumbers(const std::vector<unsigned>& codePages) {
    std::vector<std::string> items;
    if (codePages.size() <= 3) {
        for (unsigned codePage : codePages) items.push_back(CodePageLabel(codePage));
    } else {
        std::vector<unsigned> sorted = codePages;
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size();) {
            size_t end = i;
            while (end + 1 < sorted.size() && sorted[end + 1] == sorted[end] + 1) end++;
            items.push_back(end >= i + 2 ? std::to_string(sorted[i]) + " to " + std::to_string(sorted[end])
                                         : std::to_string(sorted[i]));
            if (end == i + 1) items.push_back(std::to_string(sorted[end]));
            i = end + 1;
        }
    }
    std::string text;
    for (size_t i = 0; i < items.size(); i++) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return text;
}

std::string CodePageList(const std::vector<unsigned>& codePages) { return "code page " + CodePageNumbers(codePages); }

}  // namespace publisher
