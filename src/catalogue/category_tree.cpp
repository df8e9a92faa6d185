#include "catalogue/category_tree.h"

namespace clipmill {
namespace {

constexpr std::string_view kZoneMark = "++";
constexpr std::string_view kSubZoneMark = "--";

constexpr std::string_view kBuiltInCatalogue =
    "++生活--日常--搞笑--运动--汽车--绘画--手工--其他++\r\n"
    "++游戏--单机游戏--网络游戏--手机游戏--电子竞技--桌游棋牌--音游--GMV--Mugen++\r\n"
    "++娱乐--综艺--明星++\r\n"
    "++知识--科学科普--社科人文--财经--校园学习--职业职场--野生技术协会++\r\n"
    "++影视--短片--影视杂谈--影视剪辑--预告·资讯++\r\n"
    "++音乐--音乐综合--音乐现场--演奏--翻唱--MV--VOCALOID·UTAU--电音--原创音乐++\r\n"
    "++动画--MAD·AMV--MMD·3D--综合--短片·手书·配音--手办·模玩--特摄++\r\n"
    "++时尚--美妆--服饰--T台--健身--风尚标++\r\n"
    "++美食--美食制作--美食侦探--美食测评--田园美食--美食记录++\r\n"
    "++数码--手机平板--电脑装机--摄影摄像--影音智能++\r\n"
    "++动物圈--喵星人--汪星人--大熊猫--野生动物--爬宠--动物综合++\r\n"
    "++舞蹈--宅舞--舞蹈综合--舞蹈教程--街舞--明星舞蹈--中国舞++\r\n"
    "++国创--国产动画--国产原创相关--布袋戏--资讯--动态漫·广播剧++\r\n"
    "++鬼畜--鬼畜调教--音MAD--人力VOCALOID--鬼畜剧场--教程演示++\r\n"
    "++纪录片--人文·历史--科学·探索·自然--军事--社会·美食·旅行++\r\n"
    "++番剧--资讯--官方延伸++\r\n"
    "++电视剧--国产剧--海外剧++\r\n"
    "++电影--其他国家--欧美电影--日本电影--国产电影++";

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + separator.size()) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

const CategoryTree& CategoryTree::builtIn() {
    static const CategoryTree tree = parse(kBuiltInCatalogue);
    return tree;
}

CategoryTree CategoryTree::parse(std::string_view text) {
    std::vector<Zone> zones;
    for (std::string_view line : split(text, "\n")) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 2 * kZoneMark.size() || !line.starts_with(kZoneMark) || !line.ends_with(kZoneMark)) continue;
        line = line.substr(kZoneMark.size(), line.size() - 2 * kZoneMark.size());
        std::vector<std::string_view> names = split(line, kSubZoneMark);
        Zone zone{std::string(names.front()), {}};
        for (std::size_t i = 1; i < names.size(); ++i) zone.subZones.emplace_back(names[i]);
        zones.push_back(std::move(zone));
    }
    return CategoryTree(std::move(zones));
}

const Zone* CategoryTree::findZone(std::string_view name) const {
    for (const Zone& zone : zones_) {
        if (zone.name == name) return &zone;
    }
    return nullptr;
}

std::size_t CategoryTree::subZoneCount() const {
    std::size_t count = 0;
    for (const Zone& zone : zones_) count += zone.subZones.size();
    return count;
}

std::string CategoryTree::zoneLine(const Zone& zone) {
    std::string line = std::string(kZoneMark) + zone.name;
    for (const std::string& subZone : zone.subZones) line += std::string(kSubZoneMark) + subZone;
    return line + std::string(kZoneMark);
}

std::string CategoryTree::text(bool finalLineBreak) const {
    std::string out;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        out += zoneLine(zones_[i]);
        if (finalLineBreak || i + 1 < zones_.size()) out += "\r\n";
    }
    return out;
}

}  // namespace clipmill
