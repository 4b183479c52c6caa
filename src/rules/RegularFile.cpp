#include "RegularFile.h"

#include <filesystem>
#include <system_error>

TFileCheck CheckFileToRead(const std::string& path) {
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (code || !std::filesystem::exists(status)) {
        // A link whose target is missing is there, but leads to no file.
        std::error_code linkCode;
        return std::filesystem::is_symlink(std::filesystem::symlink_status(path, linkCode))
            ? TFileCheck::NotRegular
            : TFileCheck::Missing;
    }
    return std::filesystem::is_regular_file(status) ? TFileCheck::Regular : TFileCheck::NotRegular;
}

bool IsRegularFile(const std::string& path) {
    return CheckFileToRead(path) == TFileCheck::Regular;
}
