// The four group buttons and the field's edits, through the controller.

#include "fakes/Fakes.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

using fakes::FakeApplication;

class CharacterSetField : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.delegate->applicationDidFinishLaunching()); }
    void setText(const std::string& text) { app.characterSet.setStringValue(text); }
    std::string text() const { return app.characterSet.stringValue(); }
    FakeApplication app;
};

TEST_F(CharacterSetField, LowerAppendsOnlyTheMissingLettersInOrder) {
    setText("zyx");
    app.setLower.setEnabled(true);
    app.setLower.click();
    EXPECT_EQ(text(), "zyxabcdefghijklmnopqrstuvw");
    EXPECT_FALSE(app.setLower.isEnabled());
}

TEST_F(CharacterSetField, SymbolsOnAnEmptyFieldGiveAllThirtyOne) {
    setText("");
    app.setSymbols.click();
    EXPECT_EQ(text(), "!@#$%^&*()-_=+*.,./;'[]<>?:{}|\\");
    EXPECT_EQ(text().size(), 31u);
    EXPECT_FALSE(app.setSymbols.isEnabled());
}

TEST_F(CharacterSetField, PressingOneButtonLeavesTheOthers) {
    app.characterSet.userEdit("");
    app.setUpper.click();
    EXPECT_EQ(text(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_FALSE(app.setUpper.isEnabled());
    EXPECT_TRUE(app.setLower.isEnabled());
    EXPECT_TRUE(app.setNumbers.isEnabled());
    EXPECT_TRUE(app.setSymbols.isEnabled());
}

TEST_F(CharacterSetField, UnknownSenderAppendsNothingAndIsDisabled) {
    fakes::FakeButton stranger;
    const std::string before = text();
    app.delegate->changeCharacterSet(&stranger);
    EXPECT_EQ(text(), before);
    EXPECT_FALSE(stranger.isEnabled());
    app.delegate->changeCharacterSet(nullptr); // a null sender is tolerated
    EXPECT_EQ(text(), before);
}

TEST_F(CharacterSetField, ProgramChangesSendNoNotification) {
    app.characterSet.userEdit("");
    app.setLower.click(); // sets the text from the program
    EXPECT_TRUE(app.setUpper.isEnabled());
    EXPECT_FALSE(app.setLower.isEnabled());
}

TEST_F(CharacterSetField, EditsDecideEveryButton) {
    app.characterSet.userEdit("abcdefghijklmnopqrstuvwxyzA");
    EXPECT_FALSE(app.setLower.isEnabled());
    EXPECT_TRUE(app.setUpper.isEnabled());
    EXPECT_TRUE(app.setNumbers.isEnabled());
    EXPECT_TRUE(app.setSymbols.isEnabled());

    app.characterSet.userEdit("0123456789");
    EXPECT_FALSE(app.setNumbers.isEnabled());
    app.characterSet.userEdit("012345679");
    EXPECT_TRUE(app.setNumbers.isEnabled());
    app.characterSet.userEdit("0123456798");
    EXPECT_FALSE(app.setNumbers.isEnabled());
}

TEST_F(CharacterSetField, EverythingPresentDisablesAllFour) {
    app.characterSet.userEdit("zyxwvutsrqponmlkjihgfedcbaZYXWVUTSRQPONMLKJIHGFEDCBA9876543210\\|}{:"
                              "?><][';/.,.*+=_-)(*&^%$#@!");
    EXPECT_FALSE(app.setLower.isEnabled());
    EXPECT_FALSE(app.setUpper.isEnabled());
    EXPECT_FALSE(app.setNumbers.isEnabled());
    EXPECT_FALSE(app.setSymbols.isEnabled());
}

TEST_F(CharacterSetField, ATypedSpaceChangesNoButton) {
    app.characterSet.userEdit("abc");
    const bool states[] = {app.setLower.isEnabled(), app.setUpper.isEnabled(),
                           app.setNumbers.isEnabled(), app.setSymbols.isEnabled()};
    app.characterSet.userEdit("abc ");
    EXPECT_EQ(app.setLower.isEnabled(), states[0]);
    EXPECT_EQ(app.setUpper.isEnabled(), states[1]);
    EXPECT_EQ(app.setNumbers.isEnabled(), states[2]);
    EXPECT_EQ(app.setSymbols.isEnabled(), states[3]);
}

TEST_F(CharacterSetField, InitialTextMatchesTheStartUpButtonStates) {
    // An edit that changes nothing must agree with what start-up set.
    app.characterSet.userEdit(text());
    EXPECT_FALSE(app.setLower.isEnabled());
    EXPECT_FALSE(app.setUpper.isEnabled());
    EXPECT_FALSE(app.setNumbers.isEnabled());
    EXPECT_TRUE(app.setSymbols.isEnabled());
}

} // namespace
} // namespace gw
