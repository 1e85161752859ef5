// The WHERE language: lexer, parser, column binding and evaluation over a few rows.
#include <memory>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "filter/WhereEval.h"
#include "filter/WhereParser.h"
#include "filter/WhereTypes.h"
#include "platform/Utf8.h"

KALVEX_FUZZ_TARGET(where) {
    const std::u16string text = platform::Utf8ToUtf16(reinterpret_cast<const char*>(data), size);
    static const std::vector<ColumnInfo> columns = {{u"id", u"integer", true},
                                                    {u"name", u"text", false},
                                                    {u"flag", u"boolean", false},
                                                    {u"amount", u"numeric(10,2)", false},
                                                    {u"名前", u"text", false}};
    static const std::vector<RowCells> rows = {
        {{false, u"1"}, {false, u"shop"}, {false, u"t"}, {false, u"12.50"}, {false, u"名前"}},
        {{false, u"-7"}, {true, u""}, {false, u"f"}, {false, u"1e400"}, {false, u"%_\\"}},
        {{true, u""}, {false, u""}, {true, u""}, {false, u"NaN"}, {true, u""}},
        {{false, u"x"}},
    };
    try {
        std::unique_ptr<WhereNode> root;
        CompileWhere(text, root);
        if (!root) return;
        ResolveWhereColumns(*root, columns);
        CWhereEvaluator evaluator(columns);
        for (const RowCells& row : rows) {
            try {
                evaluator.Evaluate(*root, row);
            } catch (const WhereError&) {
            }
        }
    } catch (const WhereError&) {
    }
}
