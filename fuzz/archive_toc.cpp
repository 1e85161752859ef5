// The custom archive header, the table of contents and the catalogue built from it.
#include "FuzzTarget.h"
#include "dump/ArchiveDump.h"

KALVEX_FUZZ_TARGET(archive_toc) {
    const std::u16string path = fuzz::WriteInput(data, size, ".dump");
    CArchiveDump dump;
    std::u16string error;
    if (!dump.Open(path, false, error)) return;
    for (const TableEntry& table : dump.GetTables()) (void)table.QualifiedName();
}
