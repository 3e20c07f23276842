// Any file through IniText: every lookup against a plain model of the
// scanning rules, then ReplaceValue, Save and a reload, whose bytes must be
// the edited text. Lookups also run right after a replacement, when the text
// carries no NUL of its own.
//
// Input: the file's bytes; or, when the first byte is NUL, the fields
// section NUL key NUL new-value NUL and then the file's bytes.
#include "fuzz_models.h"
#include "fuzz_site.h"
#include "ini_text.h"
#include "standin_control.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using model::IsBlank;
typedef model::IniModel Model;

const int kSizes[] = {1, 2, 7, MAX_PATH, 5000};

// The document holds exactly the model's text and cursor.
void CheckSame(const IniText& doc, const Model& model) {
    FUZZ_CHECK(doc.length >= 0 && size_t(doc.length) == model.full.size(), "length differs from the model");
    FUZZ_CHECK(doc.capacity >= unsigned(doc.length), "capacity below length");
    FUZZ_CHECK(doc.length == 0 || memcmp(doc.data, model.full.data(), model.full.size()) == 0,
               "text differs from the model");
    if (model.cursor < 0) {
        FUZZ_CHECK(doc.cursor == NULL, "cursor set where none should be");
    } else {
        FUZZ_CHECK(doc.cursor != NULL && doc.cursor - doc.data == model.cursor, "cursor differs from the model");
    }
}

// Every read-only lookup; destinations are exactly `size` bytes on the heap,
// so ASan sees any byte written past them.
void CheckLookups(const IniText& doc, const Model& model, const std::vector<std::string>& keys) {
    for (size_t k = 0; k < keys.size(); k++) {
        const char* value = NULL;
        int length = -1;
        size_t start = 0, expectedLength = 0;
        bool found = model.FindKey(keys[k], &start, &expectedLength);
        FUZZ_CHECK(doc.FindKey(keys[k].c_str(), &value, &length) == found, "FindKey result differs");
        if (found) {
            FUZZ_CHECK(value - doc.data == long(start) && size_t(length) == expectedLength,
                       "FindKey span differs from the model");
        }
        for (size_t s = 0; s < sizeof kSizes / sizeof kSizes[0]; s++) {
            std::vector<char> dest(size_t(kSizes[s]), 'x');
            std::string expected;
            bool ok = model.GetValue(keys[k], kSizes[s], &expected);
            FUZZ_CHECK(doc.GetValue(keys[k].c_str(), &dest[0], kSizes[s]) == ok, "GetValue result differs");
            FUZZ_CHECK(memchr(&dest[0], 0, dest.size()) != NULL && expected == &dest[0],
                       "GetValue text differs from the model");
        }
    }
    for (size_t s = 0; s < sizeof kSizes / sizeof kSizes[0]; s++) {
        std::vector<char> dest(size_t(kSizes[s]), 'x');
        std::string expected;
        bool ok = model.GetSectionText(kSizes[s], &expected);
        FUZZ_CHECK(doc.GetSectionText(&dest[0], kSizes[s]) == ok, "GetSectionText result differs");
        FUZZ_CHECK(memchr(&dest[0], 0, dest.size()) != NULL && expected == &dest[0],
                   "GetSectionText text differs from the model");
    }
    CheckSame(doc, model);
}

// Names taken from the text itself, so that lookups hit: the first header
// and the first key line of the current section.
std::string FirstHeader(const std::string& t) {
    for (size_t p = 0; p < t.size(); p = Model::NextLine(t, p)) {
        if (t[p] != '[') continue;
        size_t close = t.find(']', p);
        if (close != std::string::npos && close < Model::EndOfLine(t, p)) return t.substr(p + 1, close - p - 1);
    }
    return "autorun";
}

std::string FirstKey(const Model& model) {
    std::string t = model.Scan();
    if (model.cursor < 0) return "open";
    for (size_t p = size_t(model.cursor); p < t.size() && t[p] != '['; p = Model::NextLine(t, p)) {
        size_t eq = t.find('=', p);
        if (eq == std::string::npos || eq > Model::EndOfLine(t, p)) continue;
        size_t end = eq;
        while (end > p && IsBlank((unsigned char)t[end - 1])) end--;
        return t.substr(p, end - p);
    }
    return "open";
}

std::string Field(const std::string& input, size_t* pos) {
    size_t end = input.find('\0', *pos);
    if (end == std::string::npos) end = input.size();
    std::string field = input.substr(*pos, end - *pos);
    *pos = end < input.size() ? end + 1 : end;
    return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string docPath = FuzzRoot() + "doc.ini";
    static const std::string savedPath = FuzzRoot() + "saved.ini";
    static const std::string docWin = WinPath(docPath);
    static const std::string savedWin = WinPath(savedPath);

    std::string input(reinterpret_cast<const char*>(data), size);
    std::string section = "autorun", key = "open", newValue, file = input;
    if (!input.empty() && input[0] == 0) {
        size_t pos = 1;
        section = Field(input, &pos);
        key = Field(input, &pos);
        newValue = Field(input, &pos);
        file = input.substr(pos);
    } else {
        // A new value of some length, also beyond the growth slack.
        newValue = std::string(size % 600, 'v');
    }
    if (!WriteBytes(docPath, file.data(), file.size())) FuzzFail(__FILE__, __LINE__, "cannot write the file");

    IniText doc;
    FUZZ_CHECK(doc.Load(docWin.c_str()), "Load failed on a readable file");
    Model model = {file, -1};
    CheckSame(doc, model);

    std::vector<std::string> keys;
    keys.push_back("open");
    keys.push_back(key);
    CheckLookups(doc, model, keys);  // no section yet: everything fails

    std::vector<std::string> sections;
    sections.push_back(section);
    sections.push_back("autorun");
    sections.push_back(FirstHeader(model.Scan()));
    std::string editSection, editKey;
    for (size_t s = 0; s < sections.size(); s++) {
        bool found = model.FindSection(sections[s]);
        FUZZ_CHECK(doc.FindSection(sections[s].c_str()) == found, "FindSection result differs");
        const char* text = doc.CStr();
        FUZZ_CHECK(text == doc.data && text[doc.length] == 0, "CStr is not the terminated text");
        std::vector<std::string> sectionKeys = keys;
        sectionKeys.push_back(FirstKey(model));
        CheckLookups(doc, model, sectionKeys);
        size_t start, length;
        for (size_t k = 0; k < sectionKeys.size() && editKey.empty(); k++) {
            if (model.FindKey(sectionKeys[k], &start, &length)) {
                editSection = sections[s];
                editKey = sectionKeys[k];
            }
        }
    }

    if (!editKey.empty()) {
        keys.push_back(editKey);
        model.FindSection(editSection);
        doc.FindSection(editSection.c_str());
        // Twice: the second value is long enough to outgrow any slack.
        std::string values[2] = {newValue, newValue + std::string(300, 'w') + "\r\n[x]\nopen=y"};
        for (int i = 0; i < 2; i++) {
            FUZZ_CHECK(model.ReplaceValue(editKey, values[i]), "model lost the key");
            FUZZ_CHECK(doc.ReplaceValue(editKey.c_str(), values[i].c_str()), "ReplaceValue failed");
            CheckLookups(doc, model, keys);  // no section search in between
        }
        // Refused memory changes nothing and fails the replacement.
        model.FindSection(editSection);
        doc.FindSection(editSection.c_str());
        std::string huge(doc.capacity + 1, 'h');
        Standin_RefuseAllocationAfter(0);
        bool replaced = doc.ReplaceValue(editKey.c_str(), huge.c_str());
        Standin_RefuseAllocationAfter(-1);
        FUZZ_CHECK(!replaced, "ReplaceValue succeeded without memory");
        CheckSame(doc, model);
    }

    FUZZ_CHECK(doc.Save(savedWin.c_str()), "Save failed");
    std::string saved;
    FUZZ_CHECK(ReadBytes(savedPath, &saved) && saved == model.full, "saved bytes differ from the edited text");
    FUZZ_CHECK(doc.Load(savedWin.c_str()), "reload failed");
    model.cursor = -1;
    CheckSame(doc, model);

    // A load without memory leaves the document empty.
    Standin_RefuseAllocationAfter(0);
    bool loaded = doc.Load(savedWin.c_str());
    Standin_RefuseAllocationAfter(-1);
    FUZZ_CHECK(!loaded && doc.data == NULL && doc.length == 0 && doc.capacity == 0 && doc.cursor == NULL,
               "Load without memory left a document");
    const char* empty = doc.CStr();
    FUZZ_CHECK(empty != NULL && empty[0] == 0, "CStr of an empty document is not an empty text");
    doc.Release();
    return 0;
}
