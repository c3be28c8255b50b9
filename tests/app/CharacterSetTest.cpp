// The four group buttons and the field's edits, through the controller.

#include "fakes/Fakes.h"

#include "palette/InitialSet.h"
#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

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

// A button appends only its missing characters, in order, and disables itself; each edit
// decides every button. Setting the text sends no notification.
GW_TABLE_TEST_F(CharacterSetField, CharacterSetRows, EditsAndButtonsGiveTheTextAndStatesListed,
                "app/character-set.tsv") {
    const test::DataRow& c = GetParam();
    const auto initial = [](const std::string& field) {
        return field == "@INITIAL@" ? std::string(kInitialCharacterSet) : field;
    };
    const std::map<std::string, FakeButton*> groups = {{"lower", &app.setLower},
                                                       {"upper", &app.setUpper},
                                                       {"numbers", &app.setNumbers},
                                                       {"symbols", &app.setSymbols}};
    app.characterSet.userEdit(initial(c[0]));
    if (groups.contains(c[1])) groups.at(c[1])->click();
    EXPECT_EQ(app.characterSet.stringValue(), initial(c[2]));
    EXPECT_EQ(buttons(), (Buttons{c[3][0] == '1', c[3][1] == '1', c[3][2] == '1', c[3][3] == '1'}));
}

TEST_F(CharacterSetField, UnknownOrNullSenderAppendsNothing) {
    FakeButton stranger;
    const std::string before = app.characterSet.stringValue();
    app.delegate->changeCharacterSet(&stranger);
    app.delegate->changeCharacterSet(nullptr);
    EXPECT_EQ(app.characterSet.stringValue(), before);
    EXPECT_FALSE(stranger.isEnabled());
}

} // namespace
} // namespace gw
