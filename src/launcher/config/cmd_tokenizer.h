// Splits one command line into plain tokens and dash options, one per Next.
#ifndef ONDRELLE_CMD_TOKENIZER_H
#define ONDRELLE_CMD_TOKENIZER_H

#include "platform.h"

class CmdTokenizer {
public:
    const char* cursor;    // next byte to read
    char line[MAX_PATH];   // the line, at most MAX_PATH - 1 bytes
    char token[MAX_PATH];  // text of the token read last
    BYTE option;           // 0: plain token or none; 1: a dash with no letter; else the letter
    int count;             // plain tokens read since SetLine or Reset

    CmdTokenizer();
    // Keeps the first MAX_PATH - 1 bytes of a longer line.
    void SetLine(const char* text);
    void Reset();
    // False at the end of the line, and from then on until SetLine or Reset.
    bool Next();
    // The token's leading digits, bounded to [low, high] (high applied
    // first); the default, unbounded, when the token starts with no digit.
    int GetInt(int low, int high, int defaultValue) const;
};

#endif
