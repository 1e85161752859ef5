#pragma once

#include <cstddef>

// Double-byte code pages whose trail bytes may look like ASCII (0x5C in Shift_JIS 表).
// The lead-byte rules are the ones the row store uses to split COPY lines.

inline bool IsMultiByteCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 54936;
}

// Bytes of the character that starts with the high byte lead: 1 for a single-byte
// character. afterLead is the number of bytes that follow the lead byte; the result may
// exceed what is left, the caller takes what there is.
inline size_t MultiByteLength(int codePage, unsigned char lead, const char* next,
                              size_t afterLead) {
    switch (codePage) {
        case 932:
            return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
        case 54936:
            return afterLead >= 2 && next[0] >= '0' && next[0] <= '9' ? 4 : 2;
        default:
            return 2;
    }
}
