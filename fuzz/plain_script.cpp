// The statement reader and the scanner of plain scripts, with the tables' data.
#include "FuzzTarget.h"

KALVEX_FUZZ_TARGET(plain_script) {
    // Not starting with the archive or gzip magic, the input is read as a script.
    fuzz::OpenScanLoad(fuzz::WriteInput(data, size, ".sql"), 2);
}
