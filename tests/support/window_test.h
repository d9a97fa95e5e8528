/*******************************************************************************************
*  window_test.h — the fixture of the unit tests that run the toolkit, the pages or the state
*  model without a window
*
*  Each test starts with every window-wide record fresh and the drawing seam on the recorder
*  (test::drawn()); when it ends every record and seam is reset again and the advance
*  tables it fixed are put back, so nothing leaks into the next test.
*******************************************************************************************/
#pragma once

#include <gtest/gtest.h>

#include "window_records.h"

namespace vlr::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshWindow();
        drawCalls() = drawRecorder();
    }
    void TearDown() override {
        saved_.restore();
        freshWindow();
    }

private:
    SavedAdvances saved_;  // taken when the test object is made, before SetUp
};

}  // namespace vlr::test
