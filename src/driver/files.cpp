// Paths are UTF-8 throughout; std::filesystem takes them as such on every platform.
#include "driver/files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/driver.h"
#include "kf/skeleton.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
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

bool Read_Skeleton(const char* option) {
    if (option == nullptr) return true;
    if (!Copy_File_Name(option, SkeletonFileName)) return false;
    const char* name = SkeletonFileName;
    std::printf("\nTry to open the skeleton:\n");
    // The loader's messages name the template's file: for now, the skeleton's.
    char templateName[kFileNameSize];
    std::snprintf(templateName, sizeof templateName, "%s", InputKfFileName);
    std::snprintf(InputKfFileName, sizeof InputKfFileName, "%s", name);
    InputKfFile = Open_File(name, FileMode::Read);
    bool read = false;
    if (InputKfFile == nullptr) {
        std::printf("\t- '%s' was NOT found\n", name);
    } else {
        std::printf("\t- '%s' <ok>\n", name);
        read = Load_from_File___All_NIF_Blocks() >= 0;
        read = std::fclose(InputKfFile) == 0 && read;
        InputKfFile = nullptr;
    }
    std::snprintf(InputKfFileName, sizeof InputKfFileName, "%s", templateName);
    if (read) Take_Skeleton_from_Document();
    // Nothing of the skeleton may reach an output.
    Reset_Nif_Document();
    if (!read) std::printf("\nERROR: Cannot read the skeleton '%s'!\n", name);
    return read;
}

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

std::string Partial_Name(const std::string& name) {
    constexpr std::size_t kLongestFileName = 255;
    const std::size_t start = File_Name_Start(name), suffix = std::strlen(kPartialSuffix);
    std::size_t end = name.size();
    if (end - start + suffix > kLongestFileName) {
        end = start + kLongestFileName - suffix;
        while (end > start && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) // inside a character
            --end;
    }
    return name.substr(0, end) + kPartialSuffix;
}

bool Is_Folder(const char* name) {
    std::error_code error;
    return fs::is_directory(Path_of(name), error);
}

std::string In_Folder(const std::string& folder, const std::string& file) {
    if (folder.empty() || Is_Folder_Separator(folder.back())) return folder + file;
    const bool backslash = Is_Folder_Separator('\\') && folder.find('\\') != std::string::npos &&
                           folder.find('/') == std::string::npos;
    return folder + (backslash ? '\\' : '/') + file;
}

std::vector<std::string> Kf_Files_In(const char* folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(Path_of(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = Text_of(entry->path().filename());
        const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
        std::string end3 = name.substr(name.size() < 3 ? 0 : name.size() - 3);
        std::transform(end3.begin(), end3.end(), end3.begin(), lower);
        std::error_code kind;
        if (end3 == ".kf" && !entry->is_directory(kind)) names.push_back(name);
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
