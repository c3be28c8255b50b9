// The four group buttons and the field's edits, through the controller.

#include "fakes/Fakes.h"

#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <array>

namespace gw {
namespace {

using fakes::FakeApplication;
using fakes::FakeButton;
// Enabled states of the lower, upper, numbers and symbols buttons.
using Buttons = std::array<bool, 4>;

class CharacterSetField : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.delegate->applicationDidFinishLaunching()); }
    Buttons buttons() const {
        return {app.setLower.isEnabled(), app.setUpper.isEnabled(), app.setNumbers.isEnabled(),
                app.setSymbols.isEnabled()};
    }
    FakeApplication app;
};

TEST_F(CharacterSetField, AButtonAppendsOnlyItsMissingCharactersInOrderAndDisablesItself) {
    const struct {
        std::string start;
        FakeButton FakeApplication::*button;
        std::string text;
        Buttons after;
    } rows[] = {
        {"zyx", &FakeApplication::setLower, "zyxabcdefghijklmnopqrstuvw", {0, 1, 1, 1}},
        {"", &FakeApplication::setSymbols, "!@#$%^&*()-_=+*.,./;'[]<>?:{}|\\", {1, 1, 1, 0}},
        {"", &FakeApplication::setUpper, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", {1, 0, 1, 1}},
        {"a7", &FakeApplication::setNumbers, "a7012345689", {1, 1, 0, 1}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        app.characterSet.userEdit(row.start);
        (app.*row.button).click();
        EXPECT_EQ(app.characterSet.stringValue(), row.text);
        EXPECT_EQ(buttons(), row.after); // setting the text sends no notification
    }
}

TEST_F(CharacterSetField, UnknownOrNullSenderAppendsNothing) {
    FakeButton stranger;
    const std::string before = app.characterSet.stringValue();
    app.delegate->changeCharacterSet(&stranger);
    app.delegate->changeCharacterSet(nullptr);
    EXPECT_EQ(app.characterSet.stringValue(), before);
    EXPECT_FALSE(stranger.isEnabled());
}

TEST_F(CharacterSetField, EachEditDecidesEveryButton) {
    const struct {
        std::string text;
        Buttons expected;
    } rows[] = {{std::string(kInitialCharacterSet), {0, 0, 0, 1}}, // agrees with start-up
                {"", {1, 1, 1, 1}},
                {"abcdefghijklmnopqrstuvwxyzA", {0, 1, 1, 1}},
                {"0123456789", {1, 1, 0, 1}},
                {"zyxwvutsrqponmlkjihgfedcbaZYXWVUTSRQPONMLKJIHGFEDCBA9876543210\\|}{:?><][';/"
                 ".,.*+=_-)(*&^%$#@!",
                 {0, 0, 0, 0}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        app.characterSet.userEdit(row.text);
        EXPECT_EQ(buttons(), row.expected);
    }
}

} // namespace
} // namespace gw
