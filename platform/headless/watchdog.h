// ReturnsWithin: runs a call on its own thread and waits for it, so that a
// test of something that must not run for ever fails instead of hanging.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "platform/status.h"

namespace quill {

// The call's result. A call still running after `limit` fails the test
// and ends the test program at once: the call cannot be stopped, and it
// uses the test's objects.
inline Status ReturnsWithin(std::function<Status()> call,
                            std::chrono::seconds limit = std::chrono::seconds(10)) {
  auto result = std::make_shared<std::promise<Status>>();
  std::future<Status> done = result->get_future();
  std::thread([result, call = std::move(call)] { result->set_value(call()); }).detach();
  if (done.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the call did not return within " << limit.count() << " s";
    std::fflush(stdout);
    std::_Exit(1);
  }
  return done.get();
}

}  // namespace quill
