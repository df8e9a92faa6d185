// The account-file reader and writer: input is the file's content.
#include <string>
#include <string_view>

#include "accounts/account_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    clipmill::AccountRecord record;
    record.setText("left over", "from an earlier read");
    if (!clipmill::parseAccountFile(content, record)) {
        FUZZ_CHECK(record.empty());
        return 0;
    }
    // Whatever was read can be written, and the written file reads back as the same record.
    const std::string written = clipmill::accountFileContent(record);
    FUZZ_CHECK(!written.empty());
    clipmill::AccountRecord again;
    FUZZ_CHECK(clipmill::parseAccountFile(written, again));
    FUZZ_CHECK(again == record);
    FUZZ_CHECK(clipmill::accountFileContent(again) == written);
    return 0;
}
