// Paths are UTF-8 throughout; std::filesystem takes them as such on every platform.
#include "driver/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "driver/platform.h"
#include "kf/skeleton.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"

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

bool Read_Skeleton(const char* name) {
    std::printf("\nTry to open the skeleton:\n");
    // The loader's messages name the template's file: for now, the skeleton's.
    char templateName[kFileNameSize];
    std::snprintf(templateName, sizeof templateName, "%s", InputKfFileName);
    std::snprintf(InputKfFileName, sizeof InputKfFileName, "%s", name);
    InputKfFile = Open_File(name, "rb");
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
    if (std::FILE* file = Open_File(probe.c_str(), "wb")) {
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
