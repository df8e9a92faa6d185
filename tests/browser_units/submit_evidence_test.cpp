#include <gtest/gtest.h>

#include "browser/site_answers.h"
#include "browser/submit_confirmation.h"

namespace clipmill::testing {
namespace {

using Exchange = BrowserAutomation::NetworkExchange;
using State = Exchange::State;

Exchange post(const std::string& url, State state, const std::string& body = "") {
    return Exchange{"POST", url, state, state == State::Answered ? 200 : 0, body, ""};
}

const std::string kAccepted = R"({"code":0,"message":"0","data":{"aid":1001,"bvid":"BV1pr1001"}})";
const std::string kSubmit = "https://member.example/x/vu/web/add/v3?csrf=1";

// Which of the tab's requests is the submit, and what it says. A page sends other POSTs
// around its submit (a note of the click, telemetry); they must not hide the site's answer.
TEST(FindSubmitRequest, TheRequestThatSaysMostWins) {
    const Exchange note = post("https://member.example/api/clicked", State::Answered, R"({"ok":true})");
    const Exchange telemetry = post("https://data.example/log", State::Answered, "");
    struct Case {
        const char* name;
        std::vector<Exchange> exchanges;
        std::string addressPart;
        SubmitRequest::State state;
        bool read;
        int code;
    } cases[] = {
        {"Nothing", {}, "", SubmitRequest::State::None, false, 0},
        {"GetsAreNotSubmits", {Exchange{"GET", kSubmit, State::Answered, 200, kAccepted, ""}}, "", SubmitRequest::State::None, false, 0},
        {"AnswerWithItsCode", {post(kSubmit, State::Answered, kAccepted)}, "/x/vu/web/add/v3", SubmitRequest::State::Answered, true, 0},
        {"OtherAddressesDoNotCount", {post("https://member.example/x/other", State::Answered, kAccepted)}, "/x/vu/web/add/v3", SubmitRequest::State::None, false, 0},
        {"ANoteBeforeASubmitStillOut", {note, post(kSubmit, State::Sent)}, "", SubmitRequest::State::Sent, false, 0},
        {"TelemetryAfterTheAnswer", {post(kSubmit, State::Answered, kAccepted), telemetry}, "", SubmitRequest::State::Answered, true, 0},
        {"ARefusal", {post(kSubmit, State::Answered, R"({"code":21566,"message":"投稿过于频繁"})")}, "", SubmitRequest::State::Answered, true, 21566},
        {"Lost", {note, post(kSubmit, State::Failed)}, "", SubmitRequest::State::Lost, false, 0},
        {"AnAnswerWithoutCode", {note}, "", SubmitRequest::State::Answered, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SubmitRequest request = findSubmitRequest(c.exchanges, c.addressPart);
        EXPECT_EQ(request.state, c.state);
        EXPECT_EQ(request.answer.read, c.read);
        EXPECT_EQ(request.answer.code, c.code);
    }
    EXPECT_EQ(findSubmitRequest({post(kSubmit, State::Answered, kAccepted)}, "").answer.bvid, "BV1pr1001");
}

TEST(SiteAnswers, IdentityAndSubmissionsAreReadOnlyFromTheSitesOwnAnswers) {
    EXPECT_EQ(readSiteIdentity(R"({"code":0,"data":{"isLogin":true,"mid":3546001,"uname":"甲"}})").id, "3546001");
    EXPECT_EQ(readSiteIdentity(R"({"code":-101,"data":{"isLogin":false}})").state, SiteIdentity::State::LoggedOut);
    EXPECT_EQ(readSiteIdentity(std::nullopt).state, SiteIdentity::State::Unreadable);
    EXPECT_EQ(readSiteIdentity(R"({"code":0,"data":{}})").state, SiteIdentity::State::Unreadable);
    EXPECT_EQ(readSiteIdentity("<html>").state, SiteIdentity::State::Unreadable);

    const auto list = readSiteSubmissions(
        R"({"code":0,"data":{"arc_audits":[{"Archive":{"aid":7,"bvid":"BV7","title":"一","ctime":1765400000}}]}})");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].bvid, "BV7");
    EXPECT_EQ((*list)[0].createdEpoch, 1765400000);
    EXPECT_TRUE(readSiteSubmissions(R"({"code":0,"data":{"arc_audits":null}})")->empty());
    EXPECT_FALSE(readSiteSubmissions(R"({"code":-101,"data":null})"));
    EXPECT_FALSE(readSiteSubmissions(std::nullopt));
}

}  // namespace
}  // namespace clipmill::testing
