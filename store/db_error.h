// The record engine's error codes.
//
// Every engine operation returns a Status; a failed one also carries one of
// these codes (Status::db_code()), for callers that report which step
// failed. The code is informative only: decisions are made on the Status
// itself.
#pragma once

namespace quill::store {

enum DbErrorCode : int {
  kDbOk = 0,
  kDbNoMemory = 1,
  kDbCannotCreate = 2,
  kDbCannotOpen = 3,
  kDbTooManyIndexes = 4,
  kDbCannotCreateTemp = 5,
  kDbDuplicateKey = 7,
  kDbRowOutOfRange = 8,
  kDbNoCurrentRow = 9,
  kDbShortRead = 11,
  kDbShortWrite = 12,
  kDbBadKeyExpression = 13,
};

}  // namespace quill::store
