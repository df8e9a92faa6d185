#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace clipmill {

class Dialogs;
class StartupView;

// The one-time disclaimer and the agreement written once the user has accepted it.
std::string disclaimerText();
std::string agreementText(const std::string& makerSite);

// Shows the disclaimer unless the marker "qmxr.dll" in the documents folder says it was
// accepted; writes the marker (GBK) on OK. True when the user has agreed.
bool showDisclaimer(Dialogs& dialogs, const std::filesystem::path& documents, const std::string& makerSite);

// Body of the announcement thread: server A's notice in status-bar part 2 and a random
// advertisement picture with its link. `pick` gives a whole number in [1, 17].
void showAnnouncement(const std::string& serverA, StartupView& view, const std::function<int()>& pick);

// The quote of the day in status-bar part 2. An empty address does nothing.
void showQuoteOfTheDay(const std::string& quoteUrl, StartupView& view);

// The advertisement was clicked: a link opens in the default browser, any other text is shown.
void openAdvertisement(const std::string& link, Dialogs& dialogs);

}  // namespace clipmill
