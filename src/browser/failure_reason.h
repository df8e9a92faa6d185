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

// The short text of a reason word without its details; the word itself when unknown.
std::string failureText(const std::string& word);

}  // namespace clipmill
