// Test main: every test starts with the real platform services and no captured traces.
#include <gtest/gtest.h>

#include "platform/test_hooks.h"

namespace {

class ResetHooks : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { platform::hooks::ResetAll(); }
  void OnTestEnd(const testing::TestInfo&) override { platform::hooks::ResetAll(); }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ResetHooks);
  return RUN_ALL_TESTS();
}
