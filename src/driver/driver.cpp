// The run, top to bottom: names, open, load the template, load the keys, build, write, close.
// Every way out waits for one key press; only the success line comes with status 0.
#include "driver/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "capacities.h"
#include "driver/console.h"
#include "keys/anim_keys.h"
#include "kf/sequence.h"
#include "nif/nif_file.h"

inline constexpr const char* kOutputSuffix = "_new.kf";

bool Derive_Output_File_Name(const char* input, char* output, std::size_t capacity) {
    // The first character is never tested, so ".\anim.kf" keeps its leading dot.
    std::size_t stem = input[0] == '\0' ? 0 : 1;
    while (input[stem] != '\0' && input[stem] != '.')
        ++stem;
    const std::size_t suffix = std::strlen(kOutputSuffix);
    if (stem + suffix + 1 > capacity) return false;
    std::memcpy(output, input, stem);
    std::memcpy(output + stem, kOutputSuffix, suffix + 1);
    return true;
}

static int Wait_and_Return(int status) {
    Wait_for_Key_Press();
    return status;
}

// A file cut short would load in an engine and play wrong; an empty one cannot be mistaken.
static void Empty_Output_File() {
    std::FILE* file = std::fopen(OutputKfFileName, "wb");
    if (file != nullptr) std::fclose(file);
}

static void Discard_Output() {
    if (OutputKfFile == nullptr) return;
    std::fclose(OutputKfFile);
    OutputKfFile = nullptr;
    Empty_Output_File();
}

void Terminate_Because_Of_Errors() {
    std::printf("\nProgram terminated because of Errors !\n");
    Discard_Output();
    Wait_for_Key_Press();
    std::exit(kExitFailure);
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

static bool Take_File_Names(const char* templateName, const char* keysName) {
    if (!Copy_File_Name(templateName, InputKfFileName) || !Copy_File_Name(keysName, AnimationKeysFileName)) {
        return false;
    }
    if (!Derive_Output_File_Name(InputKfFileName, OutputKfFileName, kFileNameSize)) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n",
                    InputKfFileName, static_cast<int>(kFileNameSize - 1));
        return false;
    }
    return true;
}

static std::FILE* Open_Input(const char* name, const char* mode) {
    std::FILE* file = std::fopen(name, mode);
    if (file == nullptr) {
        std::printf("\t- '%s' was NOT found\n", name);
    } else {
        std::printf("\t- '%s' <ok>\n", name);
    }
    return file;
}

// True when creating the output would truncate one of the inputs (same path, or a link to it).
// A name the platform cannot convert to a path is compared as text.
static bool Same_File(const char* a, const char* b) {
    try {
        std::error_code error;
        return std::filesystem::equivalent(a, b, error);
    } catch (const std::exception&) {
        return std::strcmp(a, b) == 0;
    }
}

static bool Output_Is_An_Input() {
    for (const char* input : {InputKfFileName, AnimationKeysFileName}) {
        if (Same_File(OutputKfFileName, input)) {
            std::printf("\nERROR: Output file '%s' is the input file '%s': it would be overwritten!\n",
                        OutputKfFileName, input);
            return true;
        }
    }
    return false;
}

static bool Open_Files() {
    std::printf("\nTry to open files:\n");
    InputKfFile = Open_Input(InputKfFileName, "rb");
    if (InputKfFile == nullptr) return false;
    // Text mode: the C library of some platforms turns CR LF into LF here, the scanner does elsewhere.
    AnimationKeysFile = Open_Input(AnimationKeysFileName, "r");
    if (AnimationKeysFile == nullptr || Output_Is_An_Input()) return false;
    OutputKfFile = std::fopen(OutputKfFileName, "wb");
    if (OutputKfFile == nullptr) {
        std::printf("\t- '%s' was NOT found\n", OutputKfFileName);
        return false;
    }
    // Every body goes through one reused buffer larger than a bone's body, so that tens of megabytes
    // of bodies leave in few large writes.
    static char OutputBuffer[128 * 1024];
    std::setvbuf(OutputKfFile, OutputBuffer, _IOFBF, sizeof OutputBuffer);
    std::printf("\t- '%s' <created>\n", OutputKfFileName);
    return true;
}

// Closes output, template and keys in this order; the first failure ends the closing.
static bool Close_Files() {
    const bool outputClosed = std::fclose(OutputKfFile) == 0;
    OutputKfFile = nullptr;
    if (!outputClosed) {
        std::printf("\t- '%s' was NOT closed\n", OutputKfFileName);
        Empty_Output_File();
        return false;
    }
    if (std::fclose(InputKfFile) != 0) {
        std::printf("\t- '%s' was NOT closed\n", InputKfFileName);
        return false;
    }
    if (std::fclose(AnimationKeysFile) != 0) {
        std::printf("\t- '%s' was NOT closed\n", AnimationKeysFileName);
        return false;
    }
    return true;
}

std::int32_t Run_Conversion_Stages() {
    if (Load_from_File___All_NIF_Blocks() < 0) return -3;
    NumAnimBones = Load_from_File___Animation_Keys();
    if (NumAnimBones < 0) {
        std::printf("\nERROR: Cannot load Animation keys without errors!\n");
        return -1;
    }
    if (!IsQuaternionFormat && !IsEulerFormat) {
        std::printf("\nERROR: Animation data format don't recognized !\n");
        return -1;
    }
    std::printf("\n");
    if (Create_All_KF_Blocks() < 0 || Write_All_NIF_Block_to_File() < 0) return -3;
    return 0;
}

int Posewright_Main(int argc, const char* const* argv) {
    if (argc < 3) {
        std::printf("\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf "
                    "AnimationKeys.txt')\n");
        return Wait_and_Return(kExitFailure);
    }
    if (!Take_File_Names(argv[1], argv[2]) || !Open_Files()) return Wait_and_Return(kExitFailure);
    const std::int32_t stages = Run_Conversion_Stages();
    if (stages == -3) Terminate_Because_Of_Errors();
    if (stages < 0 || !Close_Files()) return Wait_and_Return(kExitFailure);
    std::printf("\n\t[ Converting Animation to KF format is DONE ! ]\n");
    return Wait_and_Return(kExitSuccess);
}

std::string Narrow_Argument(const wchar_t* wide) {
    std::string narrowed;
    for (const wchar_t* c = wide; (*c & 0xFF) != 0; ++c)
        narrowed.push_back(static_cast<char>(*c & 0xFF));
    return narrowed;
}
