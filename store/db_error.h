// DbError: the record engine's last error code.
//
// Every engine operation returns a Status; the same failure is also left
// here as a code, for callers that report which step failed. The code is
// informative only: decisions are made on the returned Status.
#pragma once

#include <string>

#include "platform/status.h"

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

// The last error code set by the engine (one per process, main thread only).
int& DbError();

// Sets DbError to code and returns s unchanged, so a failure is recorded
// and propagated in one step: return SetDbError(kDbShortWrite, s);
Status SetDbError(int code, Status s);

}  // namespace quill::store
