#include "app/DumpProperties.h"

namespace {

std::u16string JoinDatabases(const DumpInfo& info) {
    if (info.databases.empty()) return info.database;
    std::u16string joined;
    for (size_t i = 0; i < info.databases.size(); ++i) {
        if (i > 0) joined += u", ";
        joined += info.databases[i];
    }
    return joined;
}

}  // namespace

std::vector<PropertyLine> BuildPropertyLines(const DumpInfo& info, uint64_t tableCount) {
    const std::string count = std::to_string(tableCount);
    return {
        {1120, u"ダンプ形式", info.formatName + (info.isCluster ? u" (pg_dumpall)" : u"")},
        {1121, u"データベース", JoinDatabases(info)},
        {1122, u"サーバーバージョン", info.serverVersion},
        {1123, u"pg_dump バージョン", info.dumpVersion},
        {1124, u"エンコーディング", info.encoding},
        {1126, u"圧縮", info.compression},
        {1125, u"作成日時", info.createdAt},
        {1127, u"テーブル数", std::u16string(count.begin(), count.end())},
    };
}
