// The converter's stages, each once: open the files, load the template, the keys and the sequence
// file, build, write, close; and the one way out after a failing stage's message. Only the complete
// output takes its name: until then it is written under its partial name, beside it.
#include "driver/stages.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "build/blocks.h"
#include "build/compress.h"
#include "check/problems.h"
#include "check/skeleton.h"
#include "driver/common.h"
#include "driver/files.h"
#include "driver/names.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "platform/platform.h"
#include "sample/read_back.h"

static std::string PartialOutputName; // set while the partial output exists

void Discard_Output() {
    if (OutputKfFile != nullptr) std::fclose(OutputKfFile);
    OutputKfFile = nullptr;
    if (!PartialOutputName.empty()) Remove_File(PartialOutputName.c_str());
    PartialOutputName.clear();
}

void Terminate_Because_Of_Errors() {
    std::printf("\nProgram terminated because of Errors !\n");
    Discard_Output();
    Wait_for_Key_Press();
    std::exit(kExitFailure);
}

void Take_Sequence_File_Beside() {
    const std::string beside = Sequence_File_Name(AnimationKeysFileName);
    SequenceSettingsFileName[0] = '\0';
    if (beside.size() < kFileNameSize)
        std::snprintf(SequenceSettingsFileName, kFileNameSize, "%s", beside.c_str());
}

std::FILE* Open_Input(const char* name) {
    std::FILE* file = Open_File(name, FileMode::Read);
    if (file == nullptr) {
        std::printf("\t- '%s' was NOT found\n", name);
    } else {
        std::printf("\t- '%s' <ok>\n", name);
    }
    return file;
}

// An output that would overwrite an input, the skeleton included. Each file a batch was given is known
// by its place, found once: a batch of n key files tests n names, not n files on disk, for each.
static bool Output_Is_An_Input(const Batch* batch) {
    const char* input = nullptr;
    for (const char* own :
         {InputKfFileName, AnimationKeysFileName, SequenceSettingsFileName, SkeletonFileName}) {
        if (input == nullptr && own[0] != '\0' && Same_File(OutputKfFileName, own)) input = own;
    }
    for (std::size_t i = 0; batch != nullptr && input == nullptr && i < batch->Given.size(); ++i) {
        if (batch->GivenPlaces[i] == batch->Output) input = batch->Given[i];
    }
    if (input != nullptr)
        std::printf("\nERROR: Output file '%s' is the input file '%s': it would be overwritten!\n",
                    OutputKfFileName, input);
    return input != nullptr;
}

// Two key files of a batch that would write one output: the second is refused, whatever became of the
// first.
static bool Output_Is_Taken(const Batch& batch) {
    if (batch.TakenBy.empty()) return false;
    std::printf("\nERROR: Output file '%s' is already the output of the key file '%s': rename one of the "
                "two!\n",
                OutputKfFileName, batch.TakenBy.c_str());
    return true;
}

// Opens the partial output beside the output. An output that could not be replaced (a folder, a
// read-only file, one another program holds) is found now, before any work, and the partial is not made.
static bool Open_Output() {
    errno = 0;
    if (std::FILE* existing = Open_File(OutputKfFileName, FileMode::Update)) {
        std::fclose(existing);
    } else if (errno != ENOENT) {
        return false;
    }
    const std::string partial = Partial_Name(OutputKfFileName);
    OutputKfFile = Open_File(partial.c_str(), FileMode::Write);
    if (OutputKfFile != nullptr) PartialOutputName = partial;
    return OutputKfFile != nullptr;
}

// The sequence file beside the key file is read when it is there; one named by --sequence must be.
static bool Open_Sequence_File(bool named) {
    if (SequenceSettingsFileName[0] == '\0') return true;
    errno = 0;
    SequenceSettingsFile = Open_File(SequenceSettingsFileName, FileMode::Read);
    if (SequenceSettingsFile != nullptr) {
        std::printf("\t- '%s' <ok>\n", SequenceSettingsFileName);
    } else if (named || errno != ENOENT) {
        std::printf("\t- '%s' was NOT found\n", SequenceSettingsFileName);
        return false;
    }
    return true;
}

bool Open_Key_Files(bool named, Batch* batch) {
    // Binary like every file: the scanner takes CR LF as LF itself, on every system alike.
    AnimationKeysFile = Open_Input(AnimationKeysFileName);
    if (AnimationKeysFile == nullptr || !Open_Sequence_File(named) || Output_Is_An_Input(batch) ||
        (batch != nullptr && Output_Is_Taken(*batch)))
        return false;
    if (!Open_Output()) {
        std::printf("\t- '%s' was NOT found\n\nERROR: Cannot write '%s': %s!\n", OutputKfFileName,
                    OutputKfFileName, Why_Not_Writable(OutputKfFileName).c_str());
        return false;
    }
    // Every body goes through one reused buffer larger than a bone's body, so that tens of megabytes
    // of bodies leave in few large writes.
    static char OutputBuffer[128 * 1024];
    std::setvbuf(OutputKfFile, OutputBuffer, _IOFBF, sizeof OutputBuffer);
    std::printf("\t- '%s' <created>\n", OutputKfFileName);
    return true;
}

bool Open_Files(bool named) {
    std::printf("\nTry to open files:\n");
    InputKfFile = Open_Input(InputKfFileName);
    return InputKfFile != nullptr && Open_Key_Files(named, nullptr);
}

// Closes `file` when it is open and no close before failed; a close that fails is remembered. Once
// closed, failed or not, the stream is gone.
static void Close_Checked(std::FILE*& file, const char* name, const char*& failed) {
    if (failed != nullptr || file == nullptr) return;
    if (std::fclose(file) != 0) failed = name;
    file = nullptr;
}

bool Close_Files() {
    const char* failed = nullptr;
    Close_Checked(OutputKfFile, OutputKfFileName, failed);
    Close_Checked(InputKfFile, InputKfFileName, failed);
    Close_Checked(AnimationKeysFile, AnimationKeysFileName, failed);
    Close_Checked(SequenceSettingsFile, SequenceSettingsFileName, failed);
    if (failed != nullptr) {
        std::printf("\t- '%s' was NOT closed\n", failed);
    } else if (Keep_Permissions(OutputKfFileName, PartialOutputName.c_str()),
               !Replace_File(PartialOutputName.c_str(), OutputKfFileName)) {
        std::printf("\nERROR: Cannot write '%s' (it may be open in another program)!\n", OutputKfFileName);
    } else {
        PartialOutputName.clear();
        return true;
    }
    Discard_Output();
    return false;
}

bool Begins_Like_Kf(std::FILE* file) {
    char line[kHeaderLineSize] = {};
    return file != nullptr && std::fgets(line, sizeof line, file) != nullptr &&
           std::strstr(line, "File Format, Version") != nullptr;
}

// A template refused while the two files look swapped (its first line names a rotation format, or the
// key file begins as a .kf does): one more line says which comes first.
static void Explain_Swapped_Files() {
    if (Begins_Like_Kf(AnimationKeysFile) || Template_Looks_Like_Keys())
        std::printf("\nERROR: The two files look swapped: give the template .kf first and the key file "
                    "second!\n");
}

void Warn_of_Template_Sequences() {
    std::string names;
    const std::vector<std::int32_t> sequences = Sequence_Blocks();
    for (const std::int32_t block : sequences) {
        ByteReader in = Open_Block_Reader(block);
        const char* name = String_at(Read_i32(in));
        names += std::string(names.empty() ? "" : ", ") + "'" + (name != nullptr ? name : "") + "'";
    }
    if (!sequences.empty())
        std::printf(
            "WARNING: The template '%s' already holds %s %s: the output holds %s beside the new one\n",
            InputKfFileName, sequences.size() == 1 ? "the sequence" : "the sequences", names.c_str(),
            sequences.size() == 1 ? "it" : "them");
}

// The bones and the root the output holds against the skeleton given, one warning a finding. Their
// number.
static std::int32_t Warn_of_Skeleton_Findings() {
    if (SkeletonFileName[0] == '\0') return 0;
    const char* root = String_at(BuiltSequence.AccumRootName);
    std::vector<SkeletonFinding> findings = Check_Against_Skeleton(SkeletonFileName, root);
    for (SkeletonFinding& finding : findings) {
        finding.Text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(finding.Text[0])));
        std::printf("WARNING: %s\n", finding.Text.c_str());
    }
    return static_cast<std::int32_t>(findings.size());
}

// What posewright-keys would find in the keys of the bones converted, and the bones without keys, one
// warning a finding, where the key reader's warnings say it: line, bone record, key. Their number.
static std::int32_t Warn_of_Bone_Findings() {
    std::int32_t warnings = 0;
    for (std::int32_t b = 0; b < NumAnimBones; ++b) {
        const AnimBone& bone = AnimBones[b];
        for (const BoneFinding& finding : Find_Bone_Problems(b, true)) {
            const bool ofKey = finding.Key >= 0;
            const std::string key = ofKey ? ", key " + std::to_string(finding.Key + 1) : "";
            std::printf("WARNING: Line %d, bone record %d '%s'%s: %s\n",
                        ofKey ? bone.KeyLines[finding.Key] : bone.NameLine, b + 1, bone.Name, key.c_str(),
                        finding.Text.c_str());
            ++warnings;
        }
    }
    return warnings;
}

// A size as the transcript gives it: bytes below 10 KiB, KiB above, in groups of three digits.
static std::string Size_Text(std::int64_t bytes) {
    const bool kib = bytes >= 10 * 1024;
    const std::string digits = std::to_string(kib ? (bytes + 512) / 1024 : bytes);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text + (kib ? " KiB" : " bytes");
}

// What --compress made of the bones, and the output's size against keys for every bone.
static void Report_Compression() {
    const CompressionSummary& done = BuiltCompression;
    const long written = std::ftell(OutputKfFile);
    if (written < 0) return;
    const std::int64_t keys = written + done.BytesSaved;
    std::printf("Compressed: %d bones as curves, %d as poses, %d as keys", done.Curves, done.Poses,
                done.Keys);
    if (done.Unserved > 0)
        std::printf(" (%d of them as no curve of fewer control points than keys keeps within the bound)",
                    done.Unserved);
    std::printf("; %s -> %s: %.1f times smaller\n", Size_Text(keys).c_str(), Size_Text(written).c_str(),
                written > 0 ? static_cast<double>(keys) / static_cast<double>(written) : 1.0);
}

std::int32_t Run_Key_File_Stages() {
    NumAnimBones = Load_from_File___Animation_Keys();
    if (NumAnimBones < 0) {
        std::printf("\nERROR: Cannot load Animation keys without errors!\n");
        return -1;
    }
    if (!IsQuaternionFormat && !IsEulerFormat) {
        std::printf("\nERROR: Animation data format don't recognized !\n");
        return -1;
    }
    if (SequenceSettingsFile != nullptr && Load_from_File___Sequence_Settings() < 0) {
        std::printf("\nERROR: Cannot load Sequence settings without errors!\n");
        return -1;
    }
    // A curve holds quaternions; which order three angles turn in is not this option's to decide.
    const bool angles = Compression.Enabled && !IsQuaternionFormat;
    if (angles)
        std::printf("WARNING: The key file '%s' holds angles, and --compress writes curves of quaternions "
                    "only: its bones are written as keys\n",
                    AnimationKeysFileName);
    std::printf("\n");
    if (Create_All_KF_Blocks() < 0) return -3;
    const std::int32_t warnings =
        AnimKeys_NumWarnings + Warn_of_Bone_Findings() + Warn_of_Skeleton_Findings() + (angles ? 1 : 0);
    if (Write_All_NIF_Block_to_File() < 0) return -3;
    if (Compression.Enabled && !angles) Report_Compression();
    return warnings;
}

std::int32_t Run_Conversion_Stages() {
    if (Load_from_File___All_NIF_Blocks() < 0) {
        Explain_Swapped_Files();
        return -3;
    }
    Warn_of_Template_Sequences();
    return std::min(Run_Key_File_Stages(), 0);
}
