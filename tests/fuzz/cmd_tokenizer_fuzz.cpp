// Any line through CmdTokenizer, against a plain model of its rules: the
// same tokens, options and counts, GetInt bounded, and the line exhausted for
// good once Next says false.
#include "cmd_tokenizer.h"
#include "fuzz_models.h"
#include "fuzz_site.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using model::ModelGetInt;
using model::ModelTokens;
using model::Token;

const int kBounds[][3] = {{0, 100, -7}, {INT_MIN, INT_MAX, 5}, {10, 5, 3}, {-5, -1, 0}};

void CheckPass(CmdTokenizer& tok, const std::vector<Token>& expected) {
    int lastCount = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        FUZZ_CHECK(tok.Next(), "Next is false before the model's last token");
        FUZZ_CHECK(memchr(tok.token, 0, MAX_PATH) != NULL, "token not terminated within 260 bytes");
        FUZZ_CHECK(strlen(tok.token) <= MAX_PATH - 1, "token longer than 259 bytes");
        FUZZ_CHECK(tok.count >= lastCount, "count decreased");
        lastCount = tok.count;
        FUZZ_CHECK(expected[i].text == tok.token, "token text differs from the model");
        FUZZ_CHECK(expected[i].option == tok.option, "option differs from the model");
        FUZZ_CHECK(expected[i].count == tok.count, "count differs from the model");
        for (size_t b = 0; b < sizeof kBounds / sizeof kBounds[0]; b++) {
            const int* k = kBounds[b];
            FUZZ_CHECK(tok.GetInt(k[0], k[1], k[2]) == ModelGetInt(expected[i].text, k[0], k[1], k[2]),
                       "GetInt differs from the model");
        }
    }
    // Exhausted, and it stays so.
    for (int i = 0; i < 3; i++) {
        FUZZ_CHECK(!tok.Next(), "Next true after the model's last token, or after false");
        FUZZ_CHECK(tok.count == lastCount, "count changed after the end");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string line = bytes.substr(0, strlen(bytes.c_str()));
    if (line.size() > MAX_PATH - 1) line.resize(MAX_PATH - 1);
    std::vector<Token> expected = ModelTokens(line);

    CmdTokenizer tok;
    FUZZ_CHECK(!tok.Next() && tok.count == 0, "a new tokenizer yields a token");
    tok.SetLine(bytes.c_str());
    FUZZ_CHECK(strcmp(tok.line, line.c_str()) == 0, "SetLine did not keep the first 259 bytes");
    CheckPass(tok, expected);
    // Reset reads the same line again from its start.
    tok.Reset();
    FUZZ_CHECK(tok.count == 0 && tok.option == 0 && tok.token[0] == 0, "Reset left state behind");
    CheckPass(tok, expected);
    return 0;
}
