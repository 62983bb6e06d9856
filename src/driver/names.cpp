// The name rules work on bytes: a folder ends at the platform's separators, and a name is cut only
// between the characters of its UTF-8.
#include "driver/names.h"

#include <cstring>

#include "platform/platform.h"

static constexpr const char* kOutputSuffix = "_new.kf";

std::size_t File_Name_Start(const std::string& name) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (Is_Folder_Separator(name[i])) start = i + 1;
    }
    return start;
}

std::string Without_Extension(const std::string& name) {
    const std::size_t start = File_Name_Start(name), dot = name.rfind('.');
    return name.substr(0, dot != std::string::npos && dot > start ? dot : name.size());
}

std::string Sequence_File_Name(const std::string& keyFileName) {
    return Without_Extension(keyFileName) + ".sequence.txt";
}

bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity) {
    // The stem is cut from the file-name part, so a '.' in a folder name never ends it. That part's first
    // character is never tested, so ".anim.kf" keeps its leading dot.
    const std::size_t start = File_Name_Start(input);
    std::size_t stem = input[start] == '\0' ? start : start + 1;
    while (input[stem] != '\0' && input[stem] != '.')
        ++stem;
    const std::size_t suffix = std::strlen(kOutputSuffix);
    if (stem + suffix + 1 > capacity) return false;
    std::memcpy(output, input, stem);
    std::memcpy(output + stem, kOutputSuffix, suffix + 1);
    return true;
}

std::string Batch_Output_Name(const std::string& keyFile, const char* folder) {
    const std::string output = Without_Extension(keyFile) + ".kf";
    return folder == nullptr ? output : In_Folder(folder, output.substr(File_Name_Start(output)));
}

std::string Key_File_Name(const std::string& input, const std::string& sequence, bool severalSequences) {
    std::string name = Without_Extension(input);
    if (severalSequences) {
        name += "_";
        for (char c : sequence) {
            const bool unfit =
                static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr;
            name += unfit ? '_' : c;
        }
    }
    return name + "_keys.txt";
}

std::string Nodes_File_Name(const std::string& input) {
    return Without_Extension(input) + "_nodes.txt";
}

std::string Template_File_Name(const std::string& input) {
    return Without_Extension(input) + "_template.kf";
}

// `name` + `suffix`, its file-name part cut at a character so that it stays within 255 bytes.
static std::string Temporary_Name(const std::string& name, const char* suffixText) {
    constexpr std::size_t kLongestFileName = 255;
    const std::size_t start = File_Name_Start(name), suffix = std::strlen(suffixText);
    std::size_t end = name.size();
    if (end - start + suffix > kLongestFileName) {
        end = start + kLongestFileName - suffix;
        while (end > start && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) // inside a character
            --end;
    }
    return name.substr(0, end) + suffixText;
}

std::string Partial_Name(const std::string& name) {
    return Temporary_Name(name, kPartialSuffix);
}

std::string Aside_Name(const std::string& name) {
    return Temporary_Name(name, kAsideSuffix);
}

std::string In_Folder(const std::string& folder, const std::string& file) {
    if (folder.empty() || Is_Folder_Separator(folder.back())) return folder + file;
    const bool backslash = Is_Folder_Separator('\\') && folder.find('\\') != std::string::npos &&
                           folder.find('/') == std::string::npos;
    return folder + (backslash ? '\\' : '/') + file;
}
