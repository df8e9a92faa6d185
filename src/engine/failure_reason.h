#pragma once

#include <string>

namespace clipmill {

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
