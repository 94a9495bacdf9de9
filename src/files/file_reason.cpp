#include "files/file_reason.h"

#include <cerrno>

namespace pressory::files {

std::string reasonText(std::error_code ec) {
    if (!ec) ec = std::make_error_code(std::errc::io_error);
    const std::error_condition c = ec.default_error_condition();
    if (c.category() == std::generic_category()) {
        switch (static_cast<std::errc>(c.value())) {
        case std::errc::no_space_on_device: return "ディスクの空き領域が足りません。";
        case std::errc::read_only_file_system: return "読み取り専用のファイルシステムです。";
        case std::errc::permission_denied:
        case std::errc::operation_not_permitted: return "アクセスが拒否されました。";
        case std::errc::is_a_directory: return "ファイルではなくフォルダーです。";
        case std::errc::io_error: return "入出力エラーが発生しました。";
        case std::errc::no_such_file_or_directory: return "フォルダーが見つかりません。";
        case std::errc::file_too_large: return "ファイルが大きすぎます。";
        default: break;
        }
#ifdef EDQUOT
        // Not among the standard's error names, but an errno value where it exists.
        if (c.value() == EDQUOT) return "ディスクの使用量の上限を超えました。";
#endif
    }
    return ec.message();
}

std::string reasonText(int errnoValue) { return reasonText(std::error_code(errnoValue, std::generic_category())); }

}  // namespace pressory::files
