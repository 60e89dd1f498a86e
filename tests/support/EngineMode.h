// The suites run twice: with the engine in the test's process, and with
// VANTRA_PLAYER_ENGINE_HOST=process in an engine process of its own. A few
// checks concern what exists only in the first: the host's own addresses
// seen by the engine, entries the host never calls, callbacks (addresses in
// the test's process).
#pragma once

#include <gtest/gtest.h>

bool EngineInItsOwnProcess();

#define SKIP_WITH_ENGINE_PROCESS(why) \
    if (EngineInItsOwnProcess()) GTEST_SKIP() << "in-process only: " << why
