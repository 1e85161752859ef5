#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "filter/LikeMatch.h"
#include "support/TestPaths.h"

namespace {

// The matching rules written out as plain recursion over (subject position, pattern
// position), remembered so that long subjects stay cheap, to compare the real matcher with.
class Reference {
public:
    Reference(const std::u16string& s, const std::u16string& p, bool ci)
        : m_s(s), m_p(p), m_ci(ci), m_memo((s.size() + 1) * (p.size() + 1), -1) {}
    bool Match() { return At(0, 0); }

private:
    bool At(size_t si, size_t pi) {
        signed char& memo = m_memo[si * (m_p.size() + 1) + pi];
        if (memo < 0) memo = Compute(si, pi) ? 1 : 0;
        return memo == 1;
    }
    bool Compute(size_t si, size_t pi) {
        if (pi == m_p.size()) return si == m_s.size();
        if (m_p[pi] == u'%') {
            if (pi + 1 == m_p.size()) return true;
            for (size_t k = si; k <= m_s.size(); ++k) {
                if (At(k, pi + 1)) return true;
            }
            return false;
        }
        if (si == m_s.size()) return false;
        if (m_p[pi] == u'_') return At(si + 1, pi + 1);
        char16_t want = m_p[pi];
        size_t next = pi + 1;
        if (want == u'\\' && pi + 1 < m_p.size()) {
            want = m_p[pi + 1];
            next = pi + 2;
        }
        char16_t have = m_s[si];
        if (m_ci) {
            if (want >= u'A' && want <= u'Z') want += 32;
            if (have >= u'A' && have <= u'Z') have += 32;
        }
        return want == have && At(si + 1, next);
    }
    const std::u16string& m_s;
    const std::u16string& m_p;
    bool m_ci;
    std::vector<signed char> m_memo;
};

TEST(LikeMatchTest, Cases) {
    struct Case {
        std::u16string subject;
        std::u16string pattern;
        bool caseInsensitive;
        bool match;
    };
    const Case cases[] = {
        {u"", u"", false, true},
        {u"", u"%", false, true},
        {u"", u"%%", false, true},
        {u"", u"_", false, false},
        {u"a", u"", false, false},
        {u"abc", u"abc", false, true},
        {u"abc", u"ab", false, false},
        {u"ab", u"abc", false, false},
        {u"abc", u"a%", false, true},
        {u"abc", u"%c", false, true},
        {u"abc", u"%b%", false, true},
        {u"abc", u"a_c", false, true},
        {u"abc", u"___", false, true},
        {u"abc", u"____", false, false},
        {u"abc", u"%%%c%%%", false, true},
        {u"ab_x", u"ab\\_%", false, true},
        {u"abcx", u"ab\\_%", false, false},
        {u"50%", u"50\\%", false, true},
        {u"500", u"50\\%", false, false},
        {u"a\\b", u"a\\\\b", false, true},
        {u"a\\", u"a\\", false, true},  // a trailing backslash stands for itself
        {u"a", u"a\\", false, false},
        {u"a%", u"a\\%%", false, true},
        {u"abc", u"AB%", true, true},
        {u"abc", u"AB%", false, false},
        {u"ABC", u"a_c", true, true},
        {u"ＡＢ", u"ａｂ", true, false},
        {u"Éa", u"éA", true, false},
        {u"東京駅", u"%京%", false, true},
        {u"東京駅", u"_京_", false, true},
        {u"𠮷", u"_", false, false},  // one character, two UTF-16 units
        {u"𠮷", u"__", false, true},
        {u"mississippi", u"%iss%ipp%", false, true},
        {u"mississippi", u"%iss%iss%iss%", false, false},
        {u"aaab", u"%a%a%a%b", false, true},
        {u"aaab", u"%a%a%a%a%b", false, false},
        // Both texts end at their first NUL.
        {std::u16string(u"ab\0cd", 5), u"ab", false, true},
        {u"ab", std::u16string(u"ab\0zz", 5), false, true},
        {std::u16string(u"ab\0cd", 5), u"ab%d", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchLikePattern(c.subject, c.pattern, c.caseInsensitive), c.match)
            << U8(c.subject) << " LIKE " << U8(c.pattern) << (c.caseInsensitive ? " (ci)" : "");
    }
}

TEST(LikeMatchTest, AgreesWithTheRulesOnRandomInputs) {
    std::mt19937 random(7);
    const std::u16string alphabet = u"aAb%_\\";
    auto make = [&](size_t maxLength, const std::u16string& letters) {
        std::u16string text;
        size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i) text += letters[random() % letters.size()];
        return text;
    };
    int matches = 0;
    for (int i = 0; i < 100000; ++i) {
        // Short subjects over the pattern alphabet, and long ones that reach the block search.
        bool longSubject = i % 4 == 0;
        std::u16string subject = longSubject ? make(60, u"aAbB%_") : make(9, alphabet);
        std::u16string pattern = make(longSubject ? 10 : 7, alphabet);
        if (longSubject && random() % 2 == 0) pattern = u"%" + pattern + u"%";
        bool ci = (i & 1) != 0;
        bool expected = Reference(subject, pattern, ci).Match();
        matches += expected;
        ASSERT_EQ(MatchLikePattern(subject, pattern, ci), expected)
            << U8(subject) << " LIKE " << U8(pattern) << (ci ? " (ci)" : "");
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(matches, 5000);
    EXPECT_LT(matches, 95000);
}

TEST(LikeMatchTest, ManyPercentSignsStayFast) {
    // Backtracking over every "%" would take astronomically long here.
    std::u16string subject(200000, u'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchLikePattern(subject, u"%a%a%a%a%a%a%a%a%b", false));
    EXPECT_FALSE(MatchLikePattern(subject, u"%A%A%A%A%A%A%A%A%A%A%A%A%A%A%A%A%_b", true));
    EXPECT_TRUE(MatchLikePattern(subject + u"b", u"%a%a%a%a%a%a%a%a%b", false));
    EXPECT_FALSE(MatchLikePattern(subject, u"%aaaaaaaaaaaaaaaaaaaab%", false));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Generous even for a sanitizer build; the exponential form would never finish.
    EXPECT_LT(seconds, 20.0);
}

}  // namespace
