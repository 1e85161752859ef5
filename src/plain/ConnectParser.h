#pragma once

#include <string>

// The database that a psql \connect (or \c) line switches to, in the forms pg_dumpall
// and pg_dump --create write:
//   \connect name
//   \connect "Name"
//   \connect -reuse-previous=on "dbname='my db'"
// and the other forms psql accepts: a connection string (dbname=... with '...' values and
// backslash escapes), a postgresql:// URI, further positional arguments (user, host,
// port) after the name. False for other meta-commands (\copy, \cd, \restrict...), and for
// a \connect that keeps the current database ("-", no name, no dbname in the string).
bool ParseConnectDatabase(const std::string& metaCommand, std::string& database);
