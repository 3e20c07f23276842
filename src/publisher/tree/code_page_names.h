// Code pages as the reports name them: "932 (Japanese)", and lists of them.
#ifndef ONDRELLE_PUBLISHER_CODE_PAGE_NAMES_H
#define ONDRELLE_PUBLISHER_CODE_PAGE_NAMES_H

#include <string>
#include <vector>

namespace publisher {

// The ANSI code pages of the readers' Windows, in the order given.
using CodePages = std::vector<unsigned>;
// Windows in Western Europe and the Americas, which a check is for unless told otherwise.
const CodePages kWesternWindows{1252};

// A text, and the code pages in which it reads so.
struct TextInCodePages {
    std::string text;
    CodePages codePages;
};
// Adds the code page to the group of the text, or a group for it at the end.
void AddTextIn(std::vector<TextInCodePages>& groups, const std::string& text, unsigned codePage);

// "932 (Japanese)".
std::string CodePageLabel(unsigned codePage);

// "1252 (Western)", "1252 (Western) and 1250 (Central European)"; more than
// three by number alone, in ascending order, runs joined: "874, 932, 936,
// 949, 950 and 1250 to 1258".
std::string CodePageNumbers(const std::vector<unsigned>& codePages);
// The same after "code page ".
std::string CodePageList(const std::vector<unsigned>& codePages);

}  // namespace publisher

#endif
