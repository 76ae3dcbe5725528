// The completion rule against the real progress control: it must come back
// to exactly 100 after wrapping, or a slow install would never finish.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "core/progress_tick.h"

namespace {

class ProgressControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    bar_ = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP | PBS_SMOOTH, 0, 0, 200, 10, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(bar_, nullptr);
    ::SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(kProgressMin, kProgressMax));
    ::SendMessageA(bar_, PBM_SETSTEP, kProgressStep, 0);
  }
  void TearDown() override { ::DestroyWindow(bar_); }

  struct Control : ProgressBar {
    explicit Control(HWND h) : hwnd(h) {}
    void StepIt() override { ::SendMessageA(hwnd, PBM_STEPIT, 0, 0); }
    int GetPos() const override { return static_cast<int>(::SendMessageA(hwnd, PBM_GETPOS, 0, 0)); }
    HWND hwnd;
  };

  HWND bar_ = nullptr;
};

TEST_F(ProgressControlTest, WrapsAndComesBackToExactly100) {
  Control control(bar_);
  std::vector<int> positions;
  for (int i = 0; i < 9; ++i) {
    control.StepIt();
    positions.push_back(control.GetPos());
  }
  EXPECT_EQ(positions[3], 100);
  EXPECT_LT(positions[4], 100);  // past the maximum it starts over
  EXPECT_EQ(positions[7], 100);
}

TEST_F(ProgressControlTest, SlowStepCompletesAtTheNextTickAt100) {
  Control control(bar_);
  // The step finishes while the bar stands at 25 after wrapping (tick 5).
  int completedAt = 0;
  for (int tick = 1; tick <= 16 && completedAt == 0; ++tick) {
    if (ProgressTick(control, tick >= 5 ? 1 : 0, 1, true) != TickAction::None) completedAt = tick;
  }
  EXPECT_EQ(completedAt, 8);
  EXPECT_EQ(control.GetPos(), 100);
}

}  // namespace
