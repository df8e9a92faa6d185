#pragma once

#include <string>

namespace clipmill {

// Reason words of a failed publication.
inline constexpr const char* kFailStopped = "stopped";
inline constexpr const char* kFailGivenUp = "given_up";
inline constexpr const char* kFailBanned = "banned";
inline constexpr const char* kFailBrowserGone = "browser_gone";
inline constexpr const char* kFailNoVideo = "no_video";
inline constexpr const char* kFailUploadStalled = "upload_stalled";
inline constexpr const char* kFailSubmitRefused = "submit_refused";
inline constexpr const char* kFailElementMissing = "element_missing";
inline constexpr const char* kFailTooFrequent = "too_frequent";
inline constexpr const char* kFailVerification = "verification";
inline constexpr const char* kFailSiteRefused = "site_refused";          // the site answered with another code
inline constexpr const char* kFailAnswerUnseen = "answer_unseen";        // a submit went out, no answer was seen
inline constexpr const char* kFailNotFound = "not_found";                // the site's list of submissions lacks it
inline constexpr const char* kFailWrongAccount = "wrong_account";        // the browser is logged in as another id
inline constexpr const char* kFailIdentityUnknown = "identity_unknown";  // who is logged in could not be read
inline constexpr const char* kFailJournal = "journal_failed";            // the journal could not be written
inline constexpr const char* kFailUserNotPublished = "user_not_published";  // the user said the site lacks it

// Why a publication failed: the journal's reason word and the short text the user sees.
struct FailureReason {
    std::string word;
    std::string text;
};

FailureReason stoppedFailure();
FailureReason givenUpFailure(int seconds);
FailureReason bannedFailure();
FailureReason browserGoneFailure();
// `percentage` as the page last showed it ("37%"), "" when it showed none.
FailureReason uploadStalledFailure(const std::string& percentage);
FailureReason submitRefusedFailure();
FailureReason elementMissingFailure(const std::string& role, const std::string& selector);
FailureReason tooFrequentFailure();
FailureReason verificationFailure();
FailureReason noVideoFailure();
// The site's answer to a submit with a code other than 0, in its own words.
FailureReason siteRefusal(int code, const std::string& message);
FailureReason answerUnseenFailure();
FailureReason notFoundFailure();
FailureReason wrongAccountFailure(const std::string& expected, const std::string& found);
FailureReason identityUnknownFailure();
FailureReason journalFailure();

// The site's codes for an account that posts too often: its turn ends.
bool tooFrequentCode(int code);

// The short text of a reason word without its details; the word itself when unknown.
std::string failureText(const std::string& word);

}  // namespace clipmill
