#include <gtest/gtest.h>

#include "views/kit/turn_budget.h"

namespace nimbrel {
namespace {

// Widget tests see every turn with time to spare: what a list builds in one turn must not depend on
// how busy the machine running them is. A test of the budget itself sets the answer it needs.
class UnhurriedTurns : public testing::Environment {
  public:
    void SetUp() override { TurnBudget::setOverride(TurnBudget::kUnlimited); }
};

[[maybe_unused]] testing::Environment* const unhurried =
    testing::AddGlobalTestEnvironment(new UnhurriedTurns);

}  // namespace
}  // namespace nimbrel
