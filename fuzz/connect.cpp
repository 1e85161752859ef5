// The \connect meta-command of whole-cluster scripts.
#include <string>

#include "FuzzTarget.h"
#include "plain/ConnectParser.h"

KALVEX_FUZZ_TARGET(connect) {
    std::string database;
    ParseConnectDatabase(std::string(reinterpret_cast<const char*>(data), size), database);
}
