#include "dump/DumpFile.h"

void IDumpFile::ReadTablesData(const std::vector<size_t>& tables, const TableSinkFunction& sinkFor,
                               IJobContext* job, bool stopAtFirstFailure,
                               std::vector<TableReadResult>& results) {
    std::vector<TableReadTask> tasks;
    for (size_t index : tables) tasks.push_back({index, 1});
    // One stream after the other: the reader may share state between tables.
    CParallelTableReader(1).Run(
        tasks,
        [this](size_t index, IDataSink& sink, IJobContext* taskJob, std::u16string& error) {
            return ReadTableData(GetTables()[index], sink, taskJob, error);
        },
        sinkFor, job, stopAtFirstFailure, results);
}
