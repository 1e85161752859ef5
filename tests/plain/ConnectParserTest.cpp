// \connect as pg_dumpall and pg_dump --create write it for every kind of database name,
// and the other forms psql accepts.
#include <gtest/gtest.h>

#include "plain/ConnectParser.h"

TEST(ConnectParserTest, FormsThatNameADatabase) {
    struct Case {
        const char* line;
        const char* database;
    };
    const std::vector<Case> cases = {
        {"\\connect kx_main", "kx_main"},
        {"\\c kx_main", "kx_main"},
        {"\\connect \"User\"", "User"},
        {"\\connect \"a\"\"b\"", "a\"b"},
        {"\\connect -reuse-previous=on \"dbname='sales'\"", "sales"},
        {"\\connect -reuse-previous=on \"dbname='my db'\"", "my db"},
        // pg_dumpall: backslash escapes in the connection string, "" for a double quote.
        {"\\connect -reuse-previous=on \"dbname='it\\'s'\"", "it's"},
        {"\\connect -reuse-previous=on \"dbname='back\\\\slash'\"", "back\\slash"},
        {"\\connect -reuse-previous=on \"dbname='a\"\"b'\"", "a\"b"},
        {"\\connect -reuse-previous=on \"dbname='\xE5\xA3\xB2\xE4\xB8\x8A'\"",
         "\xE5\xA3\xB2\xE4\xB8\x8A"},
        {"\\connect \"dbname=plain host=/tmp\"", "plain"},
        {"\\connect \"host=x dbname = 'spaced'\"", "spaced"},
        {"\\connect 'quoted name'", "quoted name"},
        {"\\connect 'it''s'", "it's"},
        {"\\c db user host 5432", "db"},
        {"\\connect\tdb\r", "db"},
        {"\\connect postgresql://user@host:5432/sales%20db?sslmode=off", "sales db"},
        {"\\connect postgres:///local", "local"},
        {"\\c \"-\"", "-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string database;
        EXPECT_TRUE(ParseConnectDatabase(c.line, database));
        EXPECT_EQ(database, c.database);
    }
}

TEST(ConnectParserTest, FormsThatKeepTheDatabase) {
    for (const char* line :
         {"\\connect", "\\c", "\\connect -", "\\c - otheruser", "\\connect -reuse-previous=on",
          "\\connect \"host=elsewhere\"", "\\connect postgresql://host", "\\connect ''"}) {
        SCOPED_TRACE(line);
        std::string database = "unchanged";
        EXPECT_FALSE(ParseConnectDatabase(line, database));
    }
}

TEST(ConnectParserTest, OtherMetaCommandsAreNotConnects) {
    for (const char* line : {"\\copy t from 'file'", "\\cd /tmp", "\\conninfo", "\\restrict KEY",
                             "\\unrestrict KEY", "\\set ON_ERROR_STOP on", "connect db", ""}) {
        SCOPED_TRACE(line);
        std::string database;
        EXPECT_FALSE(ParseConnectDatabase(line, database));
        EXPECT_TRUE(database.empty());
    }
}
