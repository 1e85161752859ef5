#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "filter/WhereEval.h"
#include "platform/AsciiCase.h"

using namespace where_detail;

namespace {

[[noreturn]] void ThrowArity(const std::u16string& name) {
    throw WhereError{u"関数 " + name + u" の引数が足りません"};
}

// Truncation toward zero into 32 bits. Out-of-range values saturate and NaN gives 0: a
// plain cast would be undefined there.
int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The stored value whatever the clean flag says; Null and '' keep the default.
double Lenient(const WhereValue& value, double fallback) {
    double number = fallback;
    WhereValueToNumber(value, number);
    return number;
}

enum class TrimSide { Both, Leading, Trailing };

void Trim(std::u16string_view text, std::u16string_view chars, TrimSide side, WhereValue& out) {
    size_t begin = 0;
    size_t end = text.size();
    if (side != TrimSide::Trailing) {
        while (begin < end && chars.find(text[begin]) != std::u16string_view::npos) ++begin;
    }
    if (side != TrimSide::Leading) {
        while (end > begin && chars.find(text[end - 1]) != std::u16string_view::npos) --end;
    }
    SetText(out, text.substr(begin, end - begin));
}

void Substring(std::u16string_view text, const WhereValue* startArg, const WhereValue* lengthArg,
               WhereValue& out) {
    int64_t start = TruncateToInt32(Lenient(*startArg, 1));
    int64_t length = lengthArg && lengthArg->kind != WhereValueKind::Null
                         ? TruncateToInt32(Lenient(*lengthArg, -1))
                         : -1;
    if (start < 1 && length >= 0) {
        length -= 1 - start;
        start = 1;
        if (length <= 0) {
            SetText(out, {});
            return;
        }
    }
    // Running to the end from before the first character is the whole text.
    if (start < 1) start = 1;
    size_t from = static_cast<size_t>(start - 1);
    if (from >= text.size() || length == 0) {
        SetText(out, {});
    } else if (length < 0) {
        SetText(out, text.substr(from));
    } else {
        SetText(out, text.substr(from, static_cast<size_t>(length)));
    }
}

void LeftOrRight(std::u16string_view text, const WhereValue& countArg, bool left, WhereValue& out) {
    int64_t n = TruncateToInt32(Lenient(countArg, 0));
    int64_t size = static_cast<int64_t>(text.size());
    int64_t k = n < 0 ? std::max<int64_t>(size + n, 0) : n;
    k = std::min(k, size);
    size_t count = static_cast<size_t>(k);
    SetText(out, left ? text.substr(0, count) : text.substr(text.size() - count));
}

void Replace(std::u16string_view text, std::u16string_view from, std::u16string_view to,
             WhereValue& out) {
    if (from.empty()) {
        SetText(out, text);
        return;
    }
    out.kind = WhereValueKind::Text;
    out.number = 0;
    out.boolean = false;
    out.text.clear();
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::u16string_view::npos;
         pos = hit + from.size()) {
        if (out.text.size() + (hit - pos) + to.size() > kMaxWhereTextLength) {
            throw WhereError{u"条件式で作られる文字列が長すぎます"};
        }
        out.text.append(text.substr(pos, hit - pos));
        out.text.append(to);
    }
    if (out.text.size() + (text.size() - pos) > kMaxWhereTextLength) {
        throw WhereError{u"条件式で作られる文字列が長すぎます"};
    }
    out.text.append(text.substr(pos));
}

bool Is(const std::u16string& name, std::u16string_view word) {
    return name == word;
}

}  // namespace

void CWhereEvaluator::EvalFunction(const WhereNode& node, WhereValue& out) {
    const std::u16string& name = node.name;
    const size_t count = node.children.size();
    Slots args(*this, count);
    // Every argument is evaluated first, also for COALESCE: an error in a later argument is
    // reported even when an earlier one would have decided the result.
    for (size_t i = 0; i < count; ++i) Eval(*node.children[i], args[i]);

    if (Is(name, u"COALESCE")) {
        for (size_t i = 0; i < count; ++i) {
            if (args[i].kind != WhereValueKind::Null) {
                out = args[i];
                return;
            }
        }
        SetNull(out);
        return;
    }
    if (Is(name, u"NULLIF")) {
        if (count < 2) ThrowArity(name);
        if (args[0].kind != WhereValueKind::Null && args[1].kind != WhereValueKind::Null &&
            CompareWhereValues(args[0], args[1]) == 0) {
            SetNull(out);
        } else {
            out = args[0];
        }
        return;
    }
    if (count == 0) ThrowArity(name);
    if (args[0].kind == WhereValueKind::Null) {
        SetNull(out);
        return;
    }

    ValueTextBuffer buffer;
    // The text of the first argument; it lives in args[0] or buffer, never in out.
    std::u16string_view s = ValueTextView(args[0], buffer);
    ValueTextBuffer secondBuffer;
    ValueTextBuffer thirdBuffer;

    if (Is(name, u"UPPER") || Is(name, u"LOWER")) {
        bool upper = Is(name, u"UPPER");
        SetText(out, s);
        for (char16_t& c : out.text) {
            c = upper ? platform::ToUpperAscii(c) : platform::ToLowerAscii(c);
        }
        return;
    }
    if (Is(name, u"LENGTH") || Is(name, u"CHAR_LENGTH") || Is(name, u"CHARACTER_LENGTH")) {
        SetNumber(out, static_cast<double>(s.size()));
        return;
    }
    if (Is(name, u"TRIM") || Is(name, u"BTRIM") || Is(name, u"LTRIM") || Is(name, u"RTRIM")) {
        std::u16string_view chars = u" ";
        if (count >= 2 && args[1].kind != WhereValueKind::Null) {
            chars = ValueTextView(args[1], secondBuffer);
        }
        TrimSide side = Is(name, u"LTRIM")   ? TrimSide::Leading
                        : Is(name, u"RTRIM") ? TrimSide::Trailing
                                             : TrimSide::Both;
        Trim(s, chars, side, out);
        return;
    }
    if (Is(name, u"SUBSTR") || Is(name, u"SUBSTRING")) {
        if (count < 2) ThrowArity(name);
        Substring(s, &args[1], count >= 3 ? &args[2] : nullptr, out);
        return;
    }
    if (Is(name, u"LEFT") || Is(name, u"RIGHT")) {
        if (count < 2) ThrowArity(name);
        LeftOrRight(s, args[1], Is(name, u"LEFT"), out);
        return;
    }
    if (Is(name, u"STRPOS") || Is(name, u"POSITION")) {
        if (count < 2) ThrowArity(name);
        std::u16string_view sub = ValueTextView(args[1], secondBuffer);
        size_t hit = s.find(sub);
        SetNumber(out, hit == std::u16string_view::npos ? 0.0 : static_cast<double>(hit + 1));
        return;
    }
    if (Is(name, u"REPLACE")) {
        if (count < 3) ThrowArity(name);
        Replace(s, ValueTextView(args[1], secondBuffer), ValueTextView(args[2], thirdBuffer), out);
        return;
    }

    double x = 0;
    if (!WhereValueToNumber(args[0], x)) {
        throw WhereError{u"関数 " + name + u" には数値を指定してください"};
    }
    if (Is(name, u"ABS")) {
        SetNumber(out, std::fabs(x));
    } else if (Is(name, u"FLOOR")) {
        SetNumber(out, std::floor(x));
    } else if (Is(name, u"CEIL") || Is(name, u"CEILING")) {
        SetNumber(out, std::ceil(x));
    } else if (Is(name, u"ROUND")) {
        double digits = count >= 2 ? Lenient(args[1], 0) : 0;
        double scale = std::pow(10.0, digits);
        SetNumber(out, std::round(x * scale) / scale);
    } else {
        throw WhereError{u"関数 " + name + u" には対応していません"};
    }
}
