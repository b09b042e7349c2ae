#include "store/db_error.h"

namespace quill::store {

int& DbError() {
  static int code = kDbOk;
  return code;
}

Status SetDbError(int code, Status s) {
  DbError() = code;
  return s;
}

}  // namespace quill::store
