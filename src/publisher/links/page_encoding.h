// Which encoding a browser reads a page or a stylesheet in, as the HTML and
// CSS standards order it: a byte order mark, then what the file declares,
// then, for a file that declares nothing, the browsers' default for legacy
// files in the reader's language. Decoding goes through glibc's iconv.
#ifndef ONDRELLE_PUBLISHER_PAGE_ENCODING_H
#define ONDRELLE_PUBLISHER_PAGE_ENCODING_H

#include <optional>
#include <string>
#include <string_view>

namespace publisher {

// The Encoding Standard's name for a label ("sjis" gives "Shift_JIS"), or
// none for a label it does not know.
std::optional<std::string> EncodingForLabel(std::string_view label);

// The encoding of a page whatever the reader's language: its byte order
// mark, else what its first 1,024 bytes declare (<meta charset>, or
// http-equiv="Content-Type" with a charset), as the HTML standard's prescan
// finds it, else UTF-8 when the bytes are UTF-8. None for a legacy page,
// which browsers read in the default of the reader's language.
std::optional<std::string> PageEncoding(std::string_view bytes);
// The same for a stylesheet: its byte order mark, else @charset at its
// very start, else UTF-8 when the bytes are UTF-8.
std::optional<std::string> StylesheetEncoding(std::string_view bytes);

// The encoding in which browsers read a legacy page on Windows of an ANSI
// code page: Shift_JIS for 932, GBK for 936, EUC-KR for 949, Big5 for 950,
// windows-874 and windows-1250 to 1258 for the others.
std::string LegacyEncoding(unsigned codePage);

// The bytes as UTF-8 text, read in the encoding, a byte order mark dropped;
// what cannot be read becomes U+FFFD.
std::string DecodeText(std::string_view bytes, const std::string& encoding);

}  // namespace publisher

#endif
