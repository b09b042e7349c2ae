// The program's log: one line for each event worth knowing about later,
// such as a wait that ran out and what it was waiting for. Lines go to
// standard error; a test puts a sink of its own in their place.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quill {

using LogSink = std::function<void(std::string_view line)>;

// Writes one line: to a sink as it is, to standard error after "quillbox: ".
void LogLine(std::string_view line);

// Puts `sink` in place of standard error (an empty one puts standard error
// back) and returns the sink it replaced.
LogSink SetLogSink(LogSink sink);

}  // namespace quill
