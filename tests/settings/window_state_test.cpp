#include "settings/window_state.h"

#include <gtest/gtest.h>

#include <thread>

namespace clipmill {
namespace {

std::vector<ControlDef> smallWindow() {
    std::vector<ControlDef> defs;
    auto add = [&](std::string name, ControlKind kind, std::string group = "", bool checked = false, std::string text = "") {
        ControlDef s;
        s.name = std::move(name);
        s.kind = kind;
        s.radioGroup = std::move(group);
        s.defaultChecked = checked;
        s.defaultText = std::move(text);
        defs.push_back(s);
    };
    add("甲", ControlKind::RadioButton, "g", true);
    add("乙", ControlKind::RadioButton, "g");
    add("丙", ControlKind::RadioButton, "other", true);
    add("数", ControlKind::TextField, "", false, "3");
    return defs;
}

TEST(ParseWholeNumber, ReadsLeadingDigitsAndCountsAnythingElseAsZero) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"3", 3}, {"", 0}, {"abc", 0}, {" 42", 42}, {"-5", -5}, {"12abc", 12},
                 {"+7", 7}, {"99999999999", 2147483647}, {"-", 0}, {"１", 0}};
    for (const auto& c : cases) EXPECT_EQ(parseWholeNumber(c.text), c.expected) << c.text;
}

TEST(WindowState, CheckingARadioClearsOnlyItsGroupAndNotifiesEachChange) {
    WindowState state(smallWindow());
    std::vector<std::string> changed;
    state.subscribe([&](const std::string& name, ControlField f) {
        if (f == ControlField::Checked) changed.push_back(name);
    });
    state.setChecked("乙", true);
    EXPECT_FALSE(state.checked("甲"));
    EXPECT_TRUE(state.checked("乙"));
    EXPECT_TRUE(state.checked("丙"));
    EXPECT_EQ(changed, (std::vector<std::string>{"乙", "甲"}));
}

TEST(WindowState, UnknownControlIsAProgrammingError) {
    WindowState state(smallWindow());
    EXPECT_THROW(state.text("无此控件"), std::invalid_argument);
}

TEST(WindowState, ConcurrentWritersAndReadersSeeWholeValues) {
    WindowState state(smallWindow());
    std::atomic<int> notifications{0};
    state.subscribe([&](const std::string&, ControlField) { ++notifications; });
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) state.setText("数", i % 2 ? "111111" : "222222");
    });
    for (int i = 0; i < 2000; ++i) {
        auto v = state.text("数");
        ASSERT_TRUE(v == "3" || v == "111111" || v == "222222") << v;
    }
    writer.join();
    EXPECT_EQ(notifications.load(), 2000);
}

}  // namespace
}  // namespace clipmill
