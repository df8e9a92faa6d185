#include "ui/folder_picker.h"

#include <QFileDialog>

#include "ui/qt_text.h"

namespace clipmill::ui {

std::optional<std::string> FolderPicker::pick(const std::string& prompt, const std::string& startDir) {
    std::optional<std::string> picked;
    if (script_) {
        picked = script_(prompt, startDir);
    } else {
        const QString folder = QFileDialog::getExistingDirectory(parent_, toQt(prompt), toQt(startDir));
        if (!folder.isEmpty()) picked = fromQt(folder);
    }
    if (!picked) return std::nullopt;
    const QString trimmed = toQt(*picked).trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    return fromQt(trimmed);
}

}  // namespace clipmill::ui
