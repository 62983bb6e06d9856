// Whole files on disk for both programs, beside their stages. Paths are UTF-8 throughout;
// std::filesystem takes them as such on every platform.
#include "driver/files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/names.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

fs::path Path_of(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::string Text_of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::string Why_Not_Writable(const char* name) {
    std::error_code error;
    const fs::path path = Path_of(name);
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (fs::is_directory(path, error)) return "it is a folder";
    if (!fs::is_directory(folder, error)) return "the folder '" + Text_of(folder) + "' does not exist";
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none)
        return "the file is read-only";
    const std::string probe = Text_of(folder / ".posewright-probe.part");
    if (std::FILE* file = Open_File(probe.c_str(), FileMode::Write)) {
        std::fclose(file);
        Remove_File(probe.c_str());
        return "it may be open in another program";
    }
    return "the folder '" + Text_of(folder) + "' cannot be written";
}

void Keep_Permissions(const char* name, const char* partial) {
    std::error_code error;
    const fs::file_status status = fs::status(Path_of(name), error);
    if (!error && fs::is_regular_file(status)) fs::permissions(Path_of(partial), status.permissions(), error);
}

bool Is_Folder(const char* name) {
    std::error_code error;
    return fs::is_directory(Path_of(name), error);
}

std::vector<std::string> Files_In(const char* folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(Path_of(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = Text_of(entry->path().filename());
        const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
        std::string ending = name.substr(name.size() < extension.size() ? 0 : name.size() - extension.size());
        std::transform(ending.begin(), ending.end(), ending.begin(), lower);
        std::error_code kind;
        if (ending == extension && !entry->is_directory(kind)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names)
        name = In_Folder(folder, name);
    return names;
}

std::string Place_of(const char* name) {
    std::error_code error;
    const fs::path place = fs::weakly_canonical(fs::absolute(Path_of(name), error), error);
    return Text_of(error ? Path_of(name) : place.lexically_normal());
}
