#include "utility/QVNameRandom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The draws a test hands out, in order, and how many were taken.
std::vector<int> draws;
std::size_t taken = 0;

int scripted() {
    return draws.at(taken++);
}

class Scripted : public testing::Test {
protected:
    void use(std::vector<int> values) {
        draws = std::move(values);
        taken = 0;
        QVSetRandomSource(&scripted);
    }
    void TearDown() override { QVSetRandomSource(nullptr); }
};

// A lost comma would join two names and leave a null entry; the men's table repeats one name.
TEST(NameTables, OneNameAnEntryAndOneRepeatAmongTheMen) {
    for (const auto* table : {&QVNameTableWomen, &QVNameTableMen}) {
        for (const char* name : *table)
            ASSERT_TRUE(name != nullptr && std::strlen(name) >= 2 && std::strlen(name) <= 9);
        EXPECT_EQ(std::set<std::string>(std::begin(*table), std::end(*table)).size(),
                  table == &QVNameTableMen ? 99u : 100u);
    }
}

TEST_F(Scripted, FractionSymmetricAndSignUseTheLastFourDigits) {
    use({123459999, 0, 10000, 132, 4999, 5000, 5001, 9999});
    EXPECT_EQ(QVRandomFraction(), 0.9999f);
    EXPECT_EQ(QVRandomSymmetric(), -1.0f);
    EXPECT_EQ(QVRandomFraction(), 0.0f);
    // In double 2 (0.0132 - 0.5) rounds to a float a float computation would miss.
    const float symmetric = QVRandomSymmetric();
    EXPECT_EQ(symmetric, static_cast<float>(2.0 * (132 / 10000.0 - 0.5)));
    EXPECT_NE(symmetric, 2.0f * (132 / 10000.0f - 0.5f));
    EXPECT_EQ(std::vector<int>({QVRandomSign(), QVRandomSign(), QVRandomSign()}),
              std::vector<int>({-1, 1, 1}));
    EXPECT_EQ(QVRandomSymmetric(), static_cast<float>(2.0 * (0.9999 - 0.5)));
    EXPECT_EQ(taken, draws.size());
}

TEST_F(Scripted, EitherGenderTakesTwoDrawsHalfIsAWomanAndABadOneNone) {
    use({4999, 0, 5000, 0, 5001, 0});
    EXPECT_STREQ(QVNameRandom(0), QVNameTableWomen[0]);
    EXPECT_STREQ(QVNameRandom(0), QVNameTableWomen[0]);
    EXPECT_STREQ(QVNameRandom(0), QVNameTableMen[0]);
    EXPECT_STREQ(QVNameRandom(2), "QVNAMERANDOMERROR"); // a bad gender draws nothing
    EXPECT_STREQ(QVNameRandom(-7), "QVNAMERANDOMERROR");
    EXPECT_EQ(taken, 6u);
}

TEST_F(Scripted, IndexComesFromTheFractionTimesOneHundredInFloat) {
    // 0.01f x 100 rounds up to 1 in float; in double it would stay below 1 and pick entry 0.
    use({10000, 20000, 100, 9999, 4999});
    EXPECT_STREQ(QVNameRandom(1), QVNameTableMen[0]);
    EXPECT_STREQ(QVNameRandom(-1), QVNameTableWomen[0]);
    EXPECT_STREQ(QVNameRandom(1), QVNameTableMen[1]);
    EXPECT_STREQ(QVNameRandom(-1), QVNameTableWomen[99]);
    EXPECT_STREQ(QVNameRandom(1), QVNameTableMen[49]);
}

TEST(RandomSource, DefaultIsUnseededRand) {
    std::srand(1);
    const int first = std::rand() % 10000;
    std::srand(1);
    EXPECT_EQ(QVRandomFraction(), static_cast<float>(first / 10000.0));
}

} // namespace
