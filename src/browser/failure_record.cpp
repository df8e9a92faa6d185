#include "browser/failure_record.h"

#include <algorithm>
#include <array>

#include "browser/page_profile.h"
#include "support/atomic_file.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {

bool essentialRole(const std::string& role) {
    static const std::array<const char*, 7> roles = {role::kVideo, role::kZone, role::kSubZone, role::kTagInput,
                                                     role::kDescription, role::kTitle, role::kSubmit};
    return std::any_of(roles.begin(), roles.end(), [&role](const char* r) { return role == r; });
}

std::string folderStamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// An account id names a folder: nothing in it may leave the records folder.
std::string safeName(const std::string& id) {
    std::string name;
    for (char c : id) name += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

fs::path freshFolder(const fs::path& root, const std::string& base) {
    std::error_code ec;
    fs::create_directories(root, ec);
    for (int n = 1; n < 1000; ++n) {
        fs::path folder = root / fs::u8path(n == 1 ? base : base + "-" + std::to_string(n));
        if (fs::create_directory(folder, ec)) return folder;
        if (ec) return {};
    }
    return {};
}

void pruneOldest(const fs::path& root, std::size_t keep) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec))
        if (entry.is_directory(ec)) folders.push_back(entry.path());
    if (folders.size() <= keep) return;
    // The names begin with the date and time, so name order is age order.
    std::sort(folders.begin(), folders.end());
    for (std::size_t i = 0; i + keep < folders.size(); ++i) fs::remove_all(folders[i], ec);
}

}  // namespace

void PageTrace::miss(ElementMiss missed) {
    if (std::find(misses.begin(), misses.end(), missed) == misses.end()) misses.push_back(std::move(missed));
}

const ElementMiss* PageTrace::firstEssentialMiss() const {
    for (const ElementMiss& m : misses)
        if (essentialRole(m.role)) return &m;
    return nullptr;
}

bool PageTrace::missed(const std::string& role) const {
    return std::any_of(misses.begin(), misses.end(), [&role](const ElementMiss& m) { return m.role == role; });
}

fs::path failureRecordsRoot(const fs::path& programDir) { return programDir / "data" / fs::u8path("失败记录"); }

std::string failureReasonText(const FailureRecord& record) {
    std::string text;
    auto line = [&text](const std::string& name, const std::string& value) { text += name + "：" + value + "\n"; };
    line("结果", record.published ? "已发布（有页面元素未找到）" : "上传失败");
    line("原因", record.reasonText + (record.reasonWord.empty() ? "" : " (" + record.reasonWord + ")"));
    line("步骤", record.step);
    line("账号", record.accountId);
    line("视频", record.video);
    line("页面地址", record.page.taken ? record.page.address : "（浏览器无响应）");
    line("发布前地址", record.trace.addressBeforeSubmit);
    line("发布后地址", record.trace.addressAfterSubmit);
    line("上传进度", record.trace.lastPercentage);
    text += "未找到的元素：" + std::string(record.trace.misses.empty() ? "无" : "") + "\n";
    for (const ElementMiss& m : record.trace.misses)
        text += "  " + m.role + "  " + m.selector + "  位置" + std::to_string(m.position) + "  " + m.action + "  " +
                m.step + "\n";
    for (const std::string& note : record.trace.notes) text += "注意：" + note + "\n";
    return text;
}

fs::path writeFailureRecord(const fs::path& root, const FailureRecord& record, std::time_t when, std::size_t keep) {
    const fs::path folder = freshFolder(root, folderStamp(when) + "_" + safeName(record.accountId));
    if (folder.empty()) return {};
    bool ok = writeFileAtomically(folder / "reason.txt", failureReasonText(record));
    if (!record.page.png.empty()) ok = writeFileAtomically(folder / "page.png", record.page.png) && ok;
    if (!record.page.html.empty()) ok = writeFileAtomically(folder / "page.html", record.page.html) && ok;
    pruneOldest(root, keep);
    return ok ? folder : fs::path();
}

}  // namespace clipmill
