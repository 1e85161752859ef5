#include "filter/LikeMatch.h"

#include "filter/TextSearch.h"
#include "platform/AsciiCase.h"

using text_search::FoldMask;
using text_search::kNotFound;

namespace {

std::u16string_view UpToNul(std::u16string_view text) {
    if (text.empty()) return text;
    size_t nul = text_search::FindUnit(text.data(), 0, text.size() - 1, 0, 0);
    return nul == kNotFound ? text : text.substr(0, nul);
}

// One pattern element: a unit to match (with its fold mask) or "_", any unit.
struct Element {
    bool any;
    char16_t value;
    char16_t mask;
    size_t width;  // pattern units it takes: 2 for an escaped character
};

Element ElementAt(std::u16string_view pattern, size_t p, bool caseInsensitive) {
    char16_t c = pattern[p];
    if (c == u'_') return {true, 0, 0, 1};
    size_t width = 1;
    if (c == u'\\' && p + 1 < pattern.size()) {
        c = pattern[p + 1];
        width = 2;
    }
    if (caseInsensitive) {
        c = platform::ToLowerAscii(c);
        return {false, c, FoldMask(c), width};
    }
    return {false, c, 0, width};
}

// A run of elements between "%" signs: pattern[begin, end), count elements long.
struct Segment {
    size_t begin;
    size_t end;
    size_t count;
    size_t lastElement;  // where the last element starts
};

Segment ScanSegment(std::u16string_view pattern, size_t begin) {
    Segment segment{begin, begin, 0, begin};
    while (segment.end < pattern.size() && pattern[segment.end] != u'%') {
        segment.lastElement = segment.end;
        bool escaped = pattern[segment.end] == u'\\' && segment.end + 1 < pattern.size();
        segment.end += escaped ? 2 : 1;
        ++segment.count;
    }
    return segment;
}

bool MatchesAt(std::u16string_view subject, size_t s, std::u16string_view pattern,
               const Segment& segment, bool caseInsensitive) {
    for (size_t p = segment.begin; p < segment.end; ++s) {
        Element e = ElementAt(pattern, p, caseInsensitive);
        if (!e.any && (subject[s] | e.mask) != e.value) return false;
        p += e.width;
    }
    return true;
}

// The leftmost position from s on where segment matches; kNotFound if none.
size_t FindSegment(std::u16string_view subject, size_t s, std::u16string_view pattern,
                   const Segment& segment, bool caseInsensitive) {
    if (subject.size() - s < segment.count) return kNotFound;
    const size_t last = subject.size() - segment.count;
    Element first = ElementAt(pattern, segment.begin, caseInsensitive);
    // The segment's last element, to test candidates on both ends at once.
    Element final = ElementAt(pattern, segment.lastElement, caseInsensitive);
    const bool pair = !first.any && !final.any && segment.count > 1;
    for (size_t q = s; q <= last; ++q) {
        if (pair) {
            q = text_search::FindPair(subject.data(), q, last, first.value, first.mask,
                                      segment.count - 1, final.value, final.mask);
        } else if (!first.any) {
            q = text_search::FindUnit(subject.data(), q, last, first.value, first.mask);
        }
        if (q == kNotFound) return kNotFound;
        if (MatchesAt(subject, q, pattern, segment, caseInsensitive)) return q;
    }
    return kNotFound;
}

}  // namespace

// The pattern is a fixed head, then "%"-separated segments, the last one tied to the end
// unless the pattern ends in "%". Taking the leftmost place for each middle segment is
// never worse than a later one (whatever follows could still match after it), so there is
// no backtracking: at most subject x pattern steps, usually one pass over the subject.
bool MatchLikePattern(std::u16string_view subject, std::u16string_view pattern,
                      bool caseInsensitive) {
    subject = UpToNul(subject);
    pattern = UpToNul(pattern);
    Segment head = ScanSegment(pattern, 0);
    if (subject.size() < head.count || !MatchesAt(subject, 0, pattern, head, caseInsensitive)) {
        return false;
    }
    size_t s = head.count;
    size_t p = head.end;
    if (p == pattern.size()) return s == subject.size();
    for (;;) {
        while (p < pattern.size() && pattern[p] == u'%') ++p;
        if (p == pattern.size()) return true;
        Segment segment = ScanSegment(pattern, p);
        if (segment.end == pattern.size()) {
            // The last segment must sit at the very end, after what is already matched.
            if (subject.size() - s < segment.count) return false;
            return MatchesAt(subject, subject.size() - segment.count, pattern, segment,
                             caseInsensitive);
        }
        size_t at = FindSegment(subject, s, pattern, segment, caseInsensitive);
        if (at == kNotFound) return false;
        s = at + segment.count;
        p = segment.end;
    }
}
