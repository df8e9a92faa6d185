#include "settings/account_columns.h"

namespace clipmill {

const std::array<AccountColumnSpec, kAccountColumnCount>& accountColumns() {
    static const std::array<AccountColumnSpec, kAccountColumnCount> columns = {{
        {"序号", 50},
        {"昵称", 66},
        {"素材目录", 77},
        {"账号标识", 66},
        {"状态", 80},
        {"正在发布", 80},
        {"今天已发", 50},
        {"主页", 50},
        {"类目", 50},
        {"h已发布", 50},
        {"h审核中", 50},
        {"h发布失败", 50},
        {"s已发布", 50},
        {"s审核中", 50},
        {"s发布失败", 50},
        {"昨日收入", 50},
        {"本月", 50},
        {"总收入", 50},
    }};
    return columns;
}

}  // namespace clipmill
