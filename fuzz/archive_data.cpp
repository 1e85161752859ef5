// Archive data blocks, compressed or not, through scan, load and decoding.
#include "FuzzTarget.h"

KALVEX_FUZZ_TARGET(archive_data) {
    fuzz::OpenScanLoad(fuzz::WriteInput(data, size, ".dump"), 2);
}
