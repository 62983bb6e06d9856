// The run of posewright-keys. It shares the converter's loader, readers and messages, and adds only
// its own order and report. A key file appears complete or not at all: the text is written beside it
// under a temporary name and takes its place once flushed and closed.
#include "driver/keys_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "capacities.h"
#include "driver/console.h"
#include "driver/driver.h"
#include "keys/anim_keys.h"
#include "keys/number_text.h"
#include "kf/read_back.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"

std::string Key_File_Name(const std::string& input, const std::string& sequence, bool severalSequences) {
    const std::filesystem::path file = std::filesystem::path(input).filename();
    std::string name = file.stem().string();
    if (severalSequences) {
        name += "_";
        for (char c : sequence) {
            const bool unfit =
                static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr;
            name += unfit ? '_' : c;
        }
    }
    return input.substr(0, input.size() - file.string().size()) + name + "_keys.txt";
}

namespace {

int Wait_and_Return(int status) {
    Wait_for_Key_Press();
    return status;
}

std::int32_t Total_Keys() {
    std::int32_t keys = 0;
    for (std::int32_t b = 0; b < NumAnimBones; ++b)
        keys += AnimBones[b].NumKeys;
    return keys;
}

// The bone table as the key file `name`. True when it stands complete.
bool Write_Key_File(const std::string& name) {
    if (name.size() >= kFileNameSize) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n",
                    InputKfFileName, static_cast<int>(kFileNameSize - 1));
        return false;
    }
    std::snprintf(OutputKeysFileName, sizeof OutputKeysFileName, "%s", name.c_str());
    const std::string partial = name + ".part";
    OutputKeysFile = std::fopen(partial.c_str(), "wb");
    if (OutputKeysFile == nullptr) {
        std::printf("\t- '%s' was NOT created\n", name.c_str());
        return false;
    }
    const bool written = Save_to_File___Animation_Keys() == 0;
    const bool closed = std::fclose(OutputKeysFile) == 0;
    OutputKeysFile = nullptr;
    std::error_code error;
    if (written && closed) std::filesystem::rename(partial, name, error);
    if (!written || !closed || error) {
        std::filesystem::remove(partial, error);
        if (written) std::printf("\t- '%s' was NOT written\n", name.c_str());
        return false;
    }
    std::printf("\t- '%s' <written>\n", name.c_str());
    return true;
}

// Reads and writes every sequence. The number of key files written, or -1 when one failed.
std::int32_t Write_All_Key_Files(const std::vector<std::int32_t>& sequences) {
    std::vector<std::string> taken;
    std::int32_t written = 0;
    for (const std::int32_t block : sequences) {
        if (Load_Sequence_Keys(block) < 0) continue;
        char duration[kMaxFloatText + 1] = {};
        Put_Float(duration, AnimDuration);
        std::printf("\nSequence '%s': %d bones, %d keys, %s s, %s\n", Sequence_Name().c_str(), NumAnimBones,
                    Total_Keys(), duration, IsEulerFormat ? "Euler angles" : "quaternions");
        std::string name = Key_File_Name(InputKfFileName, Sequence_Name(), sequences.size() > 1);
        // Two sequences of one name: the second key file is numbered.
        for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n)
            name = Key_File_Name(InputKfFileName, Sequence_Name() + "_" + std::to_string(n), true);
        taken.push_back(name);
        if (!Write_Key_File(name)) return -1;
        ++written;
    }
    return written;
}

} // namespace

int Posewright_Keys_Main(int argc, const char* const* argv) {
    if (argc < 2) {
        std::printf("\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright-Keys.exe Walk.kf')\n");
        return Wait_and_Return(kExitFailure);
    }
    if (!Copy_File_Name(argv[1], InputKfFileName)) return Wait_and_Return(kExitFailure);
    std::printf("\nTry to open files:\n");
    InputKfFile = std::fopen(InputKfFileName, "rb");
    if (InputKfFile == nullptr) {
        std::printf("\t- '%s' was NOT found\n", InputKfFileName);
        return Wait_and_Return(kExitFailure);
    }
    std::printf("\t- '%s' <ok>\n", InputKfFileName);
    if (Load_from_File___All_NIF_Blocks() < 0) Terminate_Because_Of_Errors();
    const bool closed = std::fclose(InputKfFile) == 0;
    InputKfFile = nullptr;
    if (!closed) {
        std::printf("\t- '%s' was NOT closed\n", InputKfFileName);
        return Wait_and_Return(kExitFailure);
    }
    const std::vector<std::int32_t> sequences = Sequence_Blocks();
    if (sequences.empty()) {
        std::printf("\nERROR: '%s' holds no animation (no NiControllerSequence block)!\n", InputKfFileName);
        return Wait_and_Return(kExitFailure);
    }
    const std::int32_t written = Write_All_Key_Files(sequences);
    if (written < 0) return Wait_and_Return(kExitFailure);
    if (Problem_Lines.empty()) {
        std::printf("\nNo problems found.\n");
    } else {
        std::printf("\nProblems found:\n%s", Problem_Lines.c_str());
    }
    if (written == 0) {
        std::printf("\nERROR: No sequence of '%s' could be read!\n", InputKfFileName);
        return Wait_and_Return(kExitFailure);
    }
    std::printf("\n\t[ Reading KF animation to key text is DONE ! ]\n");
    return Wait_and_Return(kExitSuccess);
}
