/*******************************************************************************************
*  window_test.h — the fixture of the unit tests that run the toolkit, the pages or the state
*  model without a window
*
*  Each test starts with every window-wide record fresh and the drawing seam on the recorder
*  (test::drawn()); whatever seam or advance table it replaces is put back when it ends, and
*  the records are reset again, so nothing leaks into the next test.
*******************************************************************************************/
#pragma once

#include <gtest/gtest.h>

#include "window_records.h"

namespace vlr::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetWindowRecords();
        drawCalls() = drawRecorder();
    }
    void TearDown() override {
        saved_.restore();
        resetWindowRecords();
    }

private:
    SavedSeams saved_;  // taken when the test object is made, before SetUp
};

}  // namespace vlr::test
