#include "store/recovery.h"

#include "store/change_set.h"

namespace quill::store {

std::vector<std::string> DataSetFiles(const std::vector<RecordTable*>& tables) {
  std::vector<std::string> files;
  for (RecordTable* t : tables) {
    files.push_back(t->path());
    for (std::string& p : t->index_paths()) files.push_back(std::move(p));
  }
  return files;
}

Status RecoverDataSet(Journal& journal, const std::vector<RecordTable*>& tables) {
  std::vector<std::string> records;
  QUILL_RETURN_IF_ERROR(journal.ReadRecords(&records));
  std::vector<std::vector<RowEntry>> per_table(tables.size());
  for (const std::string& record : records) {
    std::vector<RowEntry> entries;
    QUILL_RETURN_IF_ERROR(DecodeRowEntries(record, &entries));
    for (RowEntry& e : entries) {
      size_t i = 0;
      while (i < tables.size() && tables[i]->file_name() != e.table) ++i;
      if (i == tables.size()) {
        return Status::Corrupt("the journal " + journal.path() + " names the table " + e.table +
                               ", which is not part of the data set");
      }
      per_table[i].push_back(std::move(e));
    }
  }
  for (size_t i = 0; i < tables.size(); ++i) {
    QUILL_RETURN_IF_ERROR(tables[i]->Recover(per_table[i]));
  }
  return journal.Finish(DataSetFiles(tables));
}

Status RepairIndexes(Journal& journal, const std::vector<RecordTable*>& tables,
                     std::vector<std::string>* rebuilt) {
  for (RecordTable* t : tables) {
    bool agree = true;
    std::string damaged;
    QUILL_RETURN_IF_ERROR(t->CheckIndexes(&agree, &damaged));
    if (agree) continue;
    QUILL_RETURN_IF_ERROR(journal.Begin());
    QUILL_RETURN_IF_ERROR(t->Recover({}));
    if (rebuilt != nullptr) rebuilt->push_back(damaged);
  }
  return Status::Ok();
}

}  // namespace quill::store
