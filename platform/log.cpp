#include "platform/log.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace quill {

namespace {

std::mutex& LogMutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink& Sink() {
  static LogSink sink;
  return sink;
}

}  // namespace

void LogLine(std::string_view line) {
  std::lock_guard<std::mutex> lock(LogMutex());
  if (Sink()) {
    Sink()(line);
    return;
  }
  // Unbuffered: a line written just before a crash or a kill is kept.
  std::fprintf(stderr, "quillbox: %.*s\n", static_cast<int>(line.size()), line.data());
}

LogSink SetLogSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(LogMutex());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace quill
