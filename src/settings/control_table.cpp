#include "settings/control_table.h"

#include <algorithm>
#include <unordered_map>

#include "settings/account_columns.h"

namespace clipmill {

namespace {

using K = ControlKind;

ControlDef accountList() {
    ControlDef list{.name = "超级列表框1", .kind = K::List, .parent = "分组框6", .geometry = {4, 16, 394, 312}};
    for (const auto& column : accountColumns()) {
        list.items.emplace_back(column.header);
        list.widths.push_back(column.width);
    }
    return list;
}

// Geometry is (x, y, width, height) in pixels relative to the parent. The window's children
// are measured from its client area. A tab page's rectangle is its whole tab control, and its
// children are measured from the tab control's top-left corner, tab strip (about 24 px)
// included, so nothing on a page sits above y = 26. Group boxes keep their top 16-18 px for
// the caption. Sizes assume a 9 pt CJK font: a CJK character 12 px wide, an ASCII character
// about 7 px, a space 3 px, a line 18 px, a check box or radio indicator 18 px. A number field
// over a caption's run of spaces starts 4 px after the words before the run; its owner is wide
// enough for those words, the field and the words after it.
std::vector<ControlDef> buildTable() {
    return {
        {.name = kMainWindowName, .kind = K::Window, .geometry = {50, 50, 1026, 570}, .caption = "Clipmill"},
        {.name = "选择夹1", .kind = K::TabControl, .parent = kMainWindowName, .geometry = {8, 11, 592, 477},
         .items = {"主界面", "设置", "浏览器", "换ip", "标题库", "发布记录"}},

        // Page "主界面"
        {.name = "主界面", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "主界面"},
        {.name = "分组框_控制", .kind = K::GroupBox, .parent = "主界面", .geometry = {8, 29, 568, 88},
         .caption = "任务控制（如果你的账号限制30个，这里设置上传30个切换即可）"},
        {.name = "选择框_切换账号", .kind = K::CheckBox, .parent = "分组框_控制", .geometry = {16, 22, 364, 20},
         .caption = "上传            个视频后切换账号(不勾选每个账号发1个后就切换)", .defaultChecked = true},
        {.name = "编辑框_单账号上传", .kind = K::TextField, .parent = "分组框_控制", .geometry = {62, 20, 32, 24},
         .defaultText = "3", .number = true, .gapOf = "选择框_切换账号"},

        {.name = "分组框2", .kind = K::GroupBox, .parent = "主界面", .geometry = {8, 126, 576, 176},
         .caption = "上传设置（如果不给账号配置目录，会默认使用下面目录的视频素材）"},
        {.name = "标签_账号视频素材目录", .kind = K::Label, .parent = "分组框2", .geometry = {12, 26, 112, 20},
         .caption = "账号视频素材目录："},
        {.name = "编辑框_视频素材目录", .kind = K::TextField, .parent = "分组框2", .geometry = {126, 24, 368, 24},
         .redText = true},
        {.name = "按钮8", .kind = K::Button, .parent = "分组框2", .geometry = {502, 22, 64, 28}, .caption = "浏览"},
        {.name = "标签_账号标识", .kind = K::Label, .parent = "分组框2", .geometry = {12, 58, 112, 20},
         .caption = "账号标识："},
        {.name = "编辑框_账号标识", .kind = K::TextField, .parent = "分组框2", .geometry = {126, 56, 120, 24},
         .defaultText = "100", .enabled = false},
        {.name = "标签14", .kind = K::Label, .parent = "分组框2", .geometry = {254, 58, 316, 20}},
        {.name = "选择框_单独设置", .kind = K::CheckBox, .parent = "分组框2", .geometry = {12, 90, 290, 20},
         .caption = "每个账号使用不同的分类、标签、简介信息（新）", .enabled = false},
        {.name = "按钮14", .kind = K::Button, .parent = "分组框2", .geometry = {12, 128, 120, 32},
         .caption = "配置登陆此账号"},
        {.name = "按钮_删除本账号", .kind = K::Button, .parent = "分组框2", .geometry = {144, 128, 100, 32},
         .caption = "删除本账号"},
        {.name = "按钮_修改账号信息", .kind = K::Button, .parent = "分组框2", .geometry = {256, 128, 110, 32},
         .caption = "修改账号信息"},

        {.name = "选择夹2", .kind = K::TabControl, .parent = "主界面", .geometry = {8, 306, 568, 163},
         .items = {"原创标签和分类", "标题设置", "封面图选项", "标签选项", "简介选项", "上传视频设置"}},

        // Page "主界面" > "原创标签和分类"
        {.name = "原创标签和分类", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "原创标签和分类"},
        {.name = "标签_视频分类", .kind = K::Label, .parent = "原创标签和分类", .geometry = {12, 34, 64, 20},
         .caption = "视频分类："},
        {.name = "组合框1", .kind = K::DropDown, .parent = "原创标签和分类", .geometry = {80, 32, 160, 24}},
        {.name = "组合框2", .kind = K::DropDown, .parent = "原创标签和分类", .geometry = {248, 32, 160, 24}},
        {.name = "按钮4", .kind = K::Button, .parent = "原创标签和分类", .geometry = {416, 30, 88, 28},
         .caption = "刷新分类"},
        {.name = "单选框_自制", .kind = K::RadioButton, .parent = "原创标签和分类", .geometry = {12, 72, 52, 20},
         .caption = "自制", .defaultChecked = true, .radioGroup = "originality"},
        {.name = "单选框_转载", .kind = K::RadioButton, .parent = "原创标签和分类", .geometry = {72, 72, 124, 20},
         .caption = "转载    转载说明：", .radioGroup = "originality"},
        {.name = "编辑框_转载说明", .kind = K::TextField, .parent = "原创标签和分类", .geometry = {200, 70, 300, 24}},

        // Page "主界面" > "标题设置"
        {.name = "标题设置", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "标题设置"},
        {.name = "单选框_视频文件名", .kind = K::RadioButton, .parent = "标题设置", .geometry = {12, 34, 110, 20},
         .caption = "使用视频文件名", .defaultChecked = true, .radioGroup = "titleSource"},
        {.name = "单选框_标题库", .kind = K::RadioButton, .parent = "标题设置", .geometry = {12, 62, 90, 20},
         .caption = "使用标题库", .radioGroup = "titleSource"},

        // Page "主界面" > "封面图选项"
        {.name = "封面图选项", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "封面图选项"},
        {.name = "单选框_系统封面", .kind = K::RadioButton, .parent = "封面图选项", .geometry = {12, 34, 186, 20},
         .caption = "使用第           张系统封面图", .radioGroup = "cover"},
        {.name = "编辑框_封面图序列", .kind = K::TextField, .parent = "封面图选项", .geometry = {70, 32, 44, 24},
         .defaultText = "2", .centred = true, .number = true, .spinMin = 1, .spinMax = 3,
         .gapOf = "单选框_系统封面"},
        {.name = "单选框_系统封面_随机", .kind = K::RadioButton, .parent = "封面图选项", .geometry = {220, 34, 140, 20},
         .caption = "随机选择系统封面图", .defaultChecked = true, .radioGroup = "cover"},
        {.name = "单选框_本地封面", .kind = K::RadioButton, .parent = "封面图选项", .geometry = {12, 62, 324, 20},
         .caption = "使用本地同名封面（和视频文件放一起的同名jpg文件）", .radioGroup = "cover"},
        {.name = "单选框_本地随机封面", .kind = K::RadioButton, .parent = "封面图选项", .geometry = {12, 90, 216, 20},
         .caption = "随机调用此文件夹的jpg文件做封面", .radioGroup = "cover"},
        {.name = "编辑框_随机封面目录", .kind = K::TextField, .parent = "封面图选项", .geometry = {228, 88, 328, 24}},

        // Page "主界面" > "标签选项"
        {.name = "标签选项", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "标签选项"},
        {.name = "单选框标签固定", .kind = K::RadioButton, .parent = "标签选项", .geometry = {12, 34, 156, 20},
         .caption = "标签固定为（+号分割）", .radioGroup = "tags"},
        {.name = "编辑框_固定标签", .kind = K::TextField, .parent = "标签选项", .geometry = {172, 32, 150, 24},
         .defaultText = "原创+视频"},
        {.name = "单选框ai标签", .kind = K::RadioButton, .parent = "标签选项", .geometry = {12, 62, 248, 20},
         .caption = "使用ai自动生成标签(开发中，即将发布)", .enabled = false, .radioGroup = "tags"},
        {.name = "单选框_系统推荐标签", .kind = K::RadioButton, .parent = "标签选项", .geometry = {270, 62, 204, 20},
         .caption = "自动使用         个系统推荐标签", .radioGroup = "tags"},
        {.name = "编辑框_系统标签个数", .kind = K::TextField, .parent = "标签选项", .geometry = {340, 60, 36, 24},
         .defaultText = "8", .centred = true, .number = true, .gapOf = "单选框_系统推荐标签"},
        {.name = "单选框_混合标签", .kind = K::RadioButton, .parent = "标签选项", .geometry = {12, 90, 210, 20},
         .caption = "固定标签+系统标签补够               个", .defaultChecked = true, .radioGroup = "tags"},
        {.name = "编辑框_混合标签个数", .kind = K::TextField, .parent = "标签选项", .geometry = {164, 88, 36, 24},
         .defaultText = "10", .centred = true, .number = true, .gapOf = "单选框_混合标签"},
        {.name = "标签16", .kind = K::Label, .parent = "标签选项", .geometry = {12, 118, 544, 38},
         .caption = "提醒：系统自动推荐标签前面比较准确，后面可能不准确，根据需要选择，最多20个", .multiLine = true},

        // Page "主界面" > "简介选项"
        {.name = "简介选项", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "简介选项"},
        {.name = "选择框_填写简介", .kind = K::CheckBox, .parent = "简介选项", .geometry = {12, 30, 100, 20},
         .caption = "填写简介信息", .defaultChecked = true},
        {.name = "标签_简介模板", .kind = K::Label, .parent = "简介选项", .geometry = {12, 54, 544, 20},
         .caption = "使用模板做简介，支持加入变量：{title}=视频标题   {nick}=频道昵称  {tag}=标签"},
        {.name = "编辑框_简介模板内容", .kind = K::TextField, .parent = "简介选项", .geometry = {12, 78, 544, 78},
         .defaultText = "为大家提供的{title}是由本人原创制作，让大家看到更多的有趣视频，如果喜欢可以点击关注关注我们，"
                        "有其他的疑问可以留言评论，我们看到都会进行回复",
         .multiLine = true, .verticalScrollBar = true},

        // Page "主界面" > "上传视频设置"
        {.name = "上传视频设置", .kind = K::TabPage, .parent = "选择夹2", .geometry = {0, 0, 568, 163},
         .caption = "上传视频设置"},
        {.name = "选择框_读取子文件夹", .kind = K::CheckBox, .parent = "上传视频设置", .geometry = {12, 34, 460, 20},
         .caption = "读取子文件夹内的视频     选中后，账号上传的时候，会读取子文件夹下面的视频", .defaultChecked = true},
        {.name = "单选框_选择视频_随机", .kind = K::RadioButton, .parent = "上传视频设置", .geometry = {12, 64, 146, 20},
         .caption = "随机选取视频（推荐）", .defaultChecked = true, .radioGroup = "videoOrder"},
        {.name = "单选框_选择视频_顺序", .kind = K::RadioButton, .parent = "上传视频设置", .geometry = {12, 92, 122, 20},
         .caption = "按照顺序选取视频", .radioGroup = "videoOrder"},

        // Page "设置"
        {.name = "设置", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "设置"},
        {.name = "分组框7", .kind = K::GroupBox, .parent = "设置", .geometry = {8, 32, 568, 56},
         .caption = "使用过的文件如何处理"},
        {.name = "单选框_删除", .kind = K::RadioButton, .parent = "分组框7", .geometry = {12, 26, 52, 20},
         .caption = "删除", .defaultChecked = true, .radioGroup = "usedVideos"},
        {.name = "单选框_移动", .kind = K::RadioButton, .parent = "分组框7", .geometry = {72, 26, 110, 20},
         .caption = "移动到指定目录", .radioGroup = "usedVideos"},
        {.name = "编辑框_使用过视频目录", .kind = K::TextField, .parent = "分组框7", .geometry = {186, 24, 296, 24}},
        {.name = "按钮9", .kind = K::Button, .parent = "分组框7", .geometry = {490, 22, 64, 28}, .caption = "浏览"},

        {.name = "分组框3", .kind = K::GroupBox, .parent = "设置", .geometry = {8, 93, 584, 168}, .caption = "上传配置"},
        {.name = "标签_视频上传随机间隔", .kind = K::Label, .parent = "分组框3", .geometry = {12, 26, 260, 20},
         .caption = "视频上传随机间隔                 秒至              秒随机"},
        {.name = "编辑框_视频间隔", .kind = K::TextField, .parent = "分组框3", .geometry = {116, 24, 40, 24},
         .defaultText = "2", .centred = true, .number = true, .gapOf = "标签_视频上传随机间隔"},
        {.name = "编辑框_视频间隔1", .kind = K::TextField, .parent = "分组框3", .geometry = {188, 24, 40, 24},
         .defaultText = "10", .centred = true, .number = true, .gapOf = "标签_视频上传随机间隔"},
        {.name = "选择框_自动循环", .kind = K::CheckBox, .parent = "分组框3", .geometry = {12, 60, 336, 20},
         .caption = "循环发布，账号用完后等待                秒从第一个继续开始", .defaultChecked = true},
        {.name = "编辑框_循环间隔", .kind = K::TextField, .parent = "分组框3", .geometry = {182, 58, 48, 24},
         .defaultText = "80", .centred = true, .number = true, .gapOf = "选择框_自动循环"},
        {.name = "选择框_自动放弃", .kind = K::CheckBox, .parent = "分组框3", .geometry = {12, 94, 504, 20},
         .caption = "单个视频上传超过               秒直接放弃（推荐勾选，防止各种意外情况导致软件停止）",
         .defaultChecked = true},
        {.name = "放弃秒", .kind = K::TextField, .parent = "分组框3", .geometry = {134, 92, 60, 24},
         .defaultText = "300", .number = true, .spinMin = 1, .spinMax = 1000, .gapOf = "选择框_自动放弃"},
        {.name = "选择框_2账号间隔", .kind = K::CheckBox, .parent = "分组框3", .geometry = {12, 128, 192, 20},
         .caption = "账号之间间隔时间              秒"},
        {.name = "编辑框_账号间隔", .kind = K::TextField, .parent = "分组框3", .geometry = {134, 126, 48, 24},
         .defaultText = "80", .centred = true, .number = true, .gapOf = "选择框_2账号间隔"},

        {.name = "选择框_禁止指定时间", .kind = K::CheckBox, .parent = "设置", .geometry = {12, 270, 190, 58},
         .caption = "在以下指定的时间禁止运行(需要几点禁止，就在下面写即可)", .multiLine = true},
        {.name = "编辑框_禁止指定时间", .kind = K::TextField, .parent = "设置", .geometry = {12, 334, 188, 132},
         .defaultText = "1点2点13点14点", .multiLine = true, .verticalScrollBar = true},

        {.name = "分组框1", .kind = K::GroupBox, .parent = "设置", .geometry = {208, 269, 368, 192},
         .caption = "标题前和标题后附加信息"},
        {.name = "选择框_标题附加", .kind = K::CheckBox, .parent = "分组框1", .geometry = {12, 22, 200, 20},
         .caption = "在标题前和标题后 附加如下信息"},
        {.name = "编辑框_标题前", .kind = K::TextField, .parent = "分组框1", .geometry = {12, 48, 344, 64},
         .multiLine = true},
        {.name = "编辑框_标题后", .kind = K::TextField, .parent = "分组框1", .geometry = {12, 118, 344, 64},
         .multiLine = true},

        // Page "浏览器"
        {.name = "浏览器", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "浏览器"},
        {.name = "分组框15", .kind = K::GroupBox, .parent = "浏览器", .geometry = {8, 29, 568, 160},
         .caption = "浏览器信息（浏览器能正常打开，不用理会这里的内容）"},
        {.name = "标签_google浏览器全路径", .kind = K::Label, .parent = "分组框15", .geometry = {12, 26, 130, 20},
         .caption = "google浏览器全路径："},
        {.name = "编辑框_google", .kind = K::TextField, .parent = "分组框15", .geometry = {146, 22, 410, 48},
         .defaultText = "/usr/bin/chromium", .multiLine = true, .verticalScrollBar = true},
        {.name = "按钮_手动初始化", .kind = K::Button, .parent = "分组框15", .geometry = {12, 78, 124, 28},
         .caption = "手动初始化环境"},
        {.name = "标签3", .kind = K::Label, .parent = "分组框15", .geometry = {146, 76, 412, 78},
         .caption = "默认不需要配置浏览器路径，自动读取，如果自动读取失败，会使用自定义配置的路径。\r\n\r\n"
                    "如果你已经安装了浏览器，但是还是提示安装，就需要在这里配置。",
         .multiLine = true},
        {.name = "按钮11", .kind = K::Button, .parent = "浏览器", .geometry = {8, 200, 140, 28},
         .caption = "获取当前浏览器版本"},
        {.name = "标签_版本", .kind = K::Label, .parent = "浏览器", .geometry = {156, 204, 420, 20}, .caption = "版本"},
        {.name = "标签15", .kind = K::Label, .parent = "浏览器", .geometry = {8, 240, 568, 38}, .multiLine = true},

        // Page "换ip"
        {.name = "换ip", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "换ip"},
        {.name = "分组框9", .kind = K::GroupBox, .parent = "换ip", .geometry = {16, 48, 560, 341},
         .caption = "宽带账号密码"},
        {.name = "选择框_换ip", .kind = K::CheckBox, .parent = "分组框9", .geometry = {16, 28, 176, 20},
         .caption = "切换账号的时候，自动换IP"},
        {.name = "标签_宽带名称", .kind = K::Label, .parent = "分组框9", .geometry = {16, 64, 40, 20}, .caption = "名称"},
        {.name = "宽带_名称", .kind = K::TextField, .parent = "分组框9", .geometry = {60, 62, 200, 24},
         .defaultText = "宽带连接"},
        {.name = "标签_宽带账号", .kind = K::Label, .parent = "分组框9", .geometry = {16, 98, 40, 20}, .caption = "账号"},
        {.name = "宽带_账号", .kind = K::TextField, .parent = "分组框9", .geometry = {60, 96, 200, 24}},
        {.name = "标签_宽带密码", .kind = K::Label, .parent = "分组框9", .geometry = {16, 132, 40, 20}, .caption = "密码"},
        {.name = "宽带_密码", .kind = K::TextField, .parent = "分组框9", .geometry = {60, 130, 200, 24}},
        {.name = "按钮23", .kind = K::Button, .parent = "分组框9", .geometry = {60, 168, 96, 28}, .caption = "重拨测试"},
        {.name = "宽带_提示", .kind = K::Label, .parent = "分组框9", .geometry = {16, 206, 528, 40}, .caption = "标签",
         .multiLine = true},
        {.name = "标签10", .kind = K::Label, .parent = "分组框9", .geometry = {16, 256, 528, 60},
         .caption = "注意：当前电脑需要是拨号上网环境，才可以正常换ip\r\n\r\n"
                    "重播过程最长为80秒，如果超过80秒还没有重播成功，会跳过",
         .multiLine = true},

        // Page "标题库"
        {.name = "标题库", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "标题库"},
        {.name = "标签5", .kind = K::Label, .parent = "标题库", .geometry = {8, 30, 360, 20},
         .caption = "一行一个，顺序使用"},
        {.name = "编辑框_标题库", .kind = K::TextField, .parent = "标题库", .geometry = {8, 54, 360, 410},
         .defaultText = "D:\\e\\123.txt\r\nD:\\e\\124443.txt\r\n这里标题1\r\n这是标题2", .multiLine = true,
         .verticalScrollBar = true},
        {.name = "选择框_随机", .kind = K::CheckBox, .parent = "标题库", .geometry = {380, 54, 120, 20},
         .caption = "随机使用标题库"},
        {.name = "标签17", .kind = K::Label, .parent = "标题库", .geometry = {380, 84, 204, 140},
         .caption = "您可以输入标题，一行一个按照顺序使用\r\n\r\n您也可以输入txt的完整路径，比如  D:\\123.txt\r\n\r\n"
                    "会随机从里面读取标题使用。",
         .multiLine = true},

        // Page "发布记录": the publication journal as a table, built by the window itself.
        {.name = "发布记录", .kind = K::TabPage, .parent = "选择夹1", .geometry = {0, 0, 592, 477}, .caption = "发布记录"},

        // The account list
        {.name = "分组框6", .kind = K::GroupBox, .parent = kMainWindowName, .geometry = {608, 64, 408, 432},
         .caption = "账号列表（右键点击操作）"},
        accountList(),
        {.name = "按钮_读取所有账号", .kind = K::Button, .parent = "分组框6", .geometry = {8, 340, 110, 32},
         .caption = "读取所有账号"},
        {.name = "按钮_保存账号", .kind = K::Button, .parent = "分组框6", .geometry = {126, 340, 96, 32},
         .caption = "保存设置"},
        {.name = "标签4", .kind = K::Label, .parent = "分组框6", .geometry = {8, 390, 152, 20},
         .caption = "当前上传第             个账号"},
        {.name = "编辑框_账号序列", .kind = K::TextField, .parent = "分组框6", .geometry = {72, 388, 40, 24},
         .defaultText = "1", .centred = true, .number = true, .gapOf = "标签4"},
        {.name = "按钮2", .kind = K::Button, .parent = "分组框6", .geometry = {230, 384, 120, 32},
         .caption = "关闭所有浏览器"},

        // Top buttons, status bar, timer
        {.name = "开始", .kind = K::Button, .parent = kMainWindowName, .geometry = {616, 8, 64, 40}, .caption = "开始"},
        {.name = "按钮1", .kind = K::Button, .parent = kMainWindowName, .geometry = {849, 8, 72, 40},
         .caption = "重启软件"},
        {.name = "按钮26", .kind = K::Button, .parent = kMainWindowName, .geometry = {928, 8, 72, 40},
         .caption = "关闭软件"},
        {.name = "状态条1", .kind = K::StatusBar, .parent = kMainWindowName, .geometry = {0, 515, 1020, 24},
         .widths = {260, 350, 200}},
        {.name = "时钟1", .kind = K::Timer, .parent = kMainWindowName, .intervalMs = 1000},
    };
}

}  // namespace

const std::vector<ControlDef>& controlTable() {
    static const std::vector<ControlDef> table = buildTable();
    return table;
}

const ControlDef* findControl(const std::string& name) {
    static const auto index = [] {
        std::unordered_map<std::string, const ControlDef*> byName;
        for (const auto& def : controlTable()) byName.emplace(def.name, &def);
        return byName;
    }();
    auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

std::vector<const ControlDef*> controlsOfKind(ControlKind kind) {
    std::vector<const ControlDef*> found;
    for (const auto& def : controlTable())
        if (def.kind == kind) found.push_back(&def);
    return found;
}

std::vector<const ControlDef*> gapFieldsOf(const std::string& owner) {
    std::vector<const ControlDef*> found;
    for (const auto& def : controlTable())
        if (def.gapOf == owner) found.push_back(&def);
    return found;
}

std::vector<std::string> captionPieces(const std::string& caption) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < caption.size();) {
        if (caption[i] == ' ') {
            size_t end = std::min(caption.find_first_not_of(' ', i), caption.size());
            if (end - i >= 2) {
                pieces.emplace_back();
                i = end;
                continue;
            }
        }
        pieces.back() += caption[i++];
    }
    return pieces;
}

}  // namespace clipmill
