#include <gtest/gtest.h>

#include "queryservice/connection_admission.h"
#include "queryservice/reply_budget.h"

namespace pellquin {
namespace {

using Verdict = ConnectionAdmission::Verdict;

TEST(ConnectionAdmission, RefusesByAllowListPerAddressShareAndTotal) {
    struct Step {
        bool admit;  // false: release
        const char* peer;
        Verdict expected;
    };
    const struct Case {
        const char* name;
        std::vector<std::string> allowed;
        size_t total;
        size_t perClient;
        std::vector<Step> steps;
    } cases[] = {
        {"allow-list",
         {"10.0.0.1"},
         10,
         5,
         {{true, "10.0.0.1", Verdict::Admitted}, {true, "10.0.0.2", Verdict::NotAllowed}}},
        {"per-address share",
         {},
         10,
         2,
         {{true, "a", Verdict::Admitted},
          {true, "a", Verdict::Admitted},
          {true, "a", Verdict::TooManyFromClient},
          {true, "b", Verdict::Admitted},
          {false, "a", Verdict::Admitted},
          {true, "a", Verdict::Admitted}}},
        {"total",
         {},
         3,
         2,
         {{true, "a", Verdict::Admitted},
          {true, "a", Verdict::Admitted},
          {true, "b", Verdict::Admitted},
          {true, "c", Verdict::Full},
          {false, "b", Verdict::Admitted},
          {true, "c", Verdict::Admitted}}},
        {"one address never takes every slot",
         {},
         4,
         100,
         {{true, "a", Verdict::Admitted},
          {true, "a", Verdict::Admitted},
          {true, "a", Verdict::Admitted},
          {true, "a", Verdict::TooManyFromClient},
          {true, "b", Verdict::Admitted}}},
        {"a release of an unknown address changes nothing",
         {},
         1,
         1,
         {{false, "x", Verdict::Admitted},
          {true, "a", Verdict::Admitted},
          {true, "b", Verdict::Full}}},
    };
    for (const Case& c : cases) {
        ConnectionAdmission admission(c.allowed, c.total, c.perClient);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            if (step.admit) {
                EXPECT_EQ(admission.Admit(step.peer), step.expected) << c.name << " step " << i;
            } else {
                admission.Release(step.peer);
            }
        }
    }
}

std::vector<uint8_t> Bytes(size_t size, uint8_t fill) {
    return std::vector<uint8_t>(size, fill);
}

TEST(ReplyBudget, SharesIdenticalRepliesAndDropsTheOldestBeyondTheCap) {
    ReplyBudget budget(100);
    const auto a1 = budget.Admit(Bytes(60, 'a'));
    const auto a2 = budget.Admit(Bytes(60, 'a'));
    EXPECT_EQ(a1.reply, a2.reply) << "identical replies are held once";
    EXPECT_TRUE(a2.dropped.empty());
    EXPECT_EQ(budget.HeldBytes(), 60u);

    // Another 60 bytes do not fit: both holders of the shared reply must go.
    const auto b = budget.Admit(Bytes(60, 'b'));
    EXPECT_EQ(b.dropped, (std::vector<uint64_t>{a1.ticket, a2.ticket}));
    EXPECT_EQ(budget.HeldBytes(), 60u);

    // A reply equal in length but not in content is not shared.
    const auto c = budget.Admit(Bytes(30, 'c'));
    const auto d = budget.Admit(Bytes(30, 'd'));
    EXPECT_NE(c.reply, d.reply);
    EXPECT_EQ(d.dropped, (std::vector<uint64_t>{b.ticket}));
    EXPECT_EQ(budget.HeldBytes(), 60u);

    // Releases (also of dropped or unknown tickets) give back exactly what was held.
    budget.Release(b.ticket);
    budget.Release(c.ticket);
    budget.Release(c.ticket);
    budget.Release(12345);
    EXPECT_EQ(budget.HeldBytes(), 30u);
    budget.Release(d.ticket);
    EXPECT_EQ(budget.HeldBytes(), 0u);

    // One reply above the cap is still served when nothing else waits.
    const auto huge = budget.Admit(Bytes(500, 'h'));
    EXPECT_TRUE(huge.dropped.empty());
    EXPECT_EQ(huge.reply->size(), 500u);
}

}  // namespace
}  // namespace pellquin
