// The shared part of both runs. --version prints the project's version, which the build sets.
#include "driver/common.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "check/skeleton.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "platform/platform.h"

char SkeletonFileName[kFileNameSize];

int Wait_and_Return(int status) {
    Wait_for_Key_Press();
    return status;
}

bool Answer_Help_or_Version(const Options& options, const char* program, const char* help) {
    if (options.Help) {
        std::printf("%s", help);
    } else if (options.Version) {
        std::printf("%s %s\n", program, POSEWRIGHT_VERSION);
    }
    return options.Help || options.Version;
}

bool Copy_File_Name(const char* argument, char* name) {
    if (std::strlen(argument) >= kFileNameSize) {
        std::printf("\nERROR: File name '%s' is too long (at most %d characters)!\n", argument,
                    static_cast<int>(kFileNameSize - 1));
        return false;
    }
    std::snprintf(name, kFileNameSize, "%s", argument);
    return true;
}

bool Read_Skeleton(const char* option) {
    if (option == nullptr) return true;
    if (!Copy_File_Name(option, SkeletonFileName)) return false;
    const char* name = SkeletonFileName;
    std::printf("\nTry to open the skeleton:\n");
    std::FILE* file = Open_File(name, FileMode::Read);
    bool read = false;
    if (file == nullptr) {
        std::printf("\t- '%s' was NOT found\n", name);
    } else {
        std::printf("\t- '%s' <ok>\n", name);
        read = Load_NIF_File(file, name) >= 0;
        read = std::fclose(file) == 0 && read;
    }
    if (read) Take_Skeleton_from_Document();
    // Nothing of the skeleton may reach an output.
    Reset_Nif_Document();
    if (!read) std::printf("\nERROR: Cannot read the skeleton '%s'!\n", name);
    return read;
}

bool Template_Looks_Like_Keys() {
    return std::strstr(Header_String, "Quaternions") != nullptr ||
           std::strstr(Header_String, "Euler") != nullptr;
}
