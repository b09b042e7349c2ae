// Recovery of a data set whose session did not end cleanly, and the repair
// of indexes that disagree with their pages.
#pragma once

#include <vector>

#include "platform/status.h"
#include "store/journal.h"
#include "store/record_table.h"

namespace quill::store {

// With the journal present: cuts each table's row count to the rows its
// file holds whole, writes every complete change of the journal to its
// table again, rebuilds every index from its table, makes all of it
// durable and removes the journal. Every step can be repeated, so a crash
// during recovery is recovered by the next open. A journal that names
// another table, or rows that do not fit, is refused (kCorrupt) and left
// in place.
Status RecoverDataSet(Journal& journal, const std::vector<RecordTable*>& tables);

// Rebuilds from its table every index that does not agree with it
// (RecordTable::CheckIndexes: one that does not open, whose header
// disagrees with its pages as a crash before the journal existed can leave
// it, or whose pages are damaged), so that nothing is written into it
// first. *rebuilt (when given) receives the path of the damaged index of
// each table whose indexes were rebuilt.
Status RepairIndexes(Journal& journal, const std::vector<RecordTable*>& tables,
                     std::vector<std::string>* rebuilt = nullptr);

// The files of the tables and their indexes.
std::vector<std::string> DataSetFiles(const std::vector<RecordTable*>& tables);

}  // namespace quill::store
