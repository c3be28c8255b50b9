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

TEST(NameTables, LengthsAndDuplicates) {
    std::set<std::string> women, men;
    for (const char* name : QVNameTableWomen) {
        EXPECT_GE(std::strlen(name), 3u) << name;
        EXPECT_LE(std::strlen(name), 9u) << name;
        women.insert(name);
    }
    for (const char* name : QVNameTableMen) {
        EXPECT_GE(std::strlen(name), 2u) << name;
        EXPECT_LE(std::strlen(name), 7u) << name;
        men.insert(name);
    }
    EXPECT_EQ(women.size(), 100u);
    EXPECT_EQ(men.size(), 99u);
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
    EXPECT_EQ(QVRandomSign(), -1);
    EXPECT_EQ(QVRandomSign(), 1);
    EXPECT_EQ(QVRandomSign(), 1);
    EXPECT_EQ(QVRandomSymmetric(), static_cast<float>(2.0 * (0.9999 - 0.5)));
    EXPECT_EQ(taken, draws.size());
}

TEST_F(Scripted, EitherGenderTakesTwoDrawsAndHalfIsAWoman) {
    use({4999, 0, 5000, 0, 5001, 0});
    EXPECT_STREQ(QVNameRandom(0), QVNameTableWomen[0]);
    EXPECT_STREQ(QVNameRandom(0), QVNameTableWomen[0]);
    EXPECT_STREQ(QVNameRandom(0), QVNameTableMen[0]);
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

TEST_F(Scripted, BadGenderDrawsNothing) {
    use({});
    EXPECT_STREQ(QVNameRandom(2), "QVNAMERANDOMERROR");
    EXPECT_STREQ(QVNameRandom(-7), "QVNAMERANDOMERROR");
    EXPECT_EQ(taken, 0u);
}

TEST(RandomSource, DefaultIsUnseededRand) {
    std::srand(1);
    const int first = std::rand() % 10000;
    std::srand(1);
    EXPECT_EQ(QVRandomFraction(), static_cast<float>(first / 10000.0));
}

} // namespace
