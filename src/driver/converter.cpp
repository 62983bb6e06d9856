// The converter's run, top to bottom: options and names, then one key file over the template, or a
// batch of them over the template read once. Every way out waits for one key press; only the success
// line comes with status 0.
#include "driver/converter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "build/compress.h"
#include "capacities.h"
#include "driver/common.h"
#include "driver/files.h"
#include "driver/names.h"
#include "driver/options.h"
#include "driver/reset.h"
#include "driver/stages.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "platform/platform.h"

static const char* const kHelp =
    "\nPosewright: keyframed bone animation in a key file to a .kf animation file (NIF 20.2.0.7).\n"
    "\n"
    "Usage:\tPosewright.exe [-o OUTPUT.kf] [--sequence SETTINGS.txt] [--skeleton SKELETON.nif] TEMPLATE.kf "
    "KEYS.txt\n"
    "\tPosewright.exe [-o FOLDER] [--skeleton SKELETON.nif] TEMPLATE.kf KEYS.txt MORE_KEYS.txt ...\n"
    "\tPosewright.exe --help | --version\n"
    "\n"
    "TEMPLATE.kf\tthe empty .kf of your engine's tools: its header, blocks and footer are kept\n"
    "KEYS.txt\tthe key file:\n"
    "\t\tline 1: Quaternions (a key: time, position x y z, rotation w x y z, scale)\n"
    "\t\t        or Euler (a key: time, position x y z, angles about x y z in radians, scale)\n"
    "\t\tline 2: the duration in seconds\n"
    "\t\tthen each bone: Bone name: \"NODE\";  its key count, and one key a line\n"
    "\t\tlast, never converted: Bone name: \"End of keys\";  and 0\n"
    "-o, --output\tthe output; by default the template's name in the template's folder, up to its\n"
    "\t\tfirst '.', and _new.kf (Empty.kf gives Empty_new.kf)\n"
    "--sequence\tthe sequence file (name, cycle, timing, text keys, priorities); by default the key\n"
    "\t\tfile's name with .sequence.txt for its extension, read when it is there\n"
    "--skeleton\tthe .nif the animation plays on: a warning for each node it lacks, and for other units\n"
    "--compress\teach bone as a curve of packed control points, as games ship them, within 0.01 units,\n"
    "\t\t0.001 radians and 0.001 scale of every key; --compress=P,R,S sets the three bounds\n"
    "\n"
    "With several key files each is converted over the template in turn, into its own name with .kf for\n"
    "its extension (walk.txt gives walk.kf), beside it or in the folder -o names; a KEYS.sequence.txt\n"
    "given beside its KEYS.txt is read with it. A summary ends the run.\n"
    "\n"
    "Exit status 0 after the DONE line (with several key files: when every one converted), 1 after an "
    "ERROR.\n"
    "\n"
    "Every message: docs/messages.md; the skeleton check and batches: docs/skeleton-and-batches.md\n";

// The same for a batch, which names the template to give first when one key file alone begins as a .kf.
static void Explain_Swapped_Batch(const std::vector<const char*>& keyFiles) {
    std::vector<const char*> kfs;
    for (const char* name : keyFiles) {
        std::FILE* file = Open_File(name, FileMode::Read);
        if (Begins_Like_Kf(file)) kfs.push_back(name);
        if (file != nullptr) std::fclose(file);
    }
    if (Template_Looks_Like_Keys() && kfs.size() == 1)
        std::printf("\nERROR: The files look swapped: give the template '%s' first, then the key files!\n",
                    kfs[0]);
    else if (Template_Looks_Like_Keys() || !kfs.empty())
        std::printf("\nERROR: The files look swapped: give the template .kf first, then the key files!\n");
}

// The names of a run of one key file: template, keys, sequence file and output.
static bool Take_File_Names(const char* templateName, const char* keysName, const Options& options) {
    if (!Copy_File_Name(templateName, InputKfFileName) || !Copy_File_Name(keysName, AnimationKeysFileName)) {
        return false;
    }
    if (options.Sequence != nullptr) {
        if (!Copy_File_Name(options.Sequence, SequenceSettingsFileName)) return false;
    } else {
        Take_Sequence_File_Beside();
    }
    if (options.Output != nullptr) return Copy_File_Name(options.Output, OutputKfFileName);
    if (!Derive_Output_File_Name(InputKfFileName, OutputKfFileName, kFileNameSize)) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n",
                    InputKfFileName, static_cast<int>(kFileNameSize - 1));
        return false;
    }
    return true;
}

namespace {

// What became of a key file of a batch.
enum class Outcome { NotConverted, Converted, ConvertedWithWarnings };

// The files after the template: the key files, and the sequence files of others given, each with the
// key file it goes with.
void Sort_Files(int count, const char* const* files, std::vector<const char*>& keyFiles,
                std::vector<std::pair<const char*, const char*>>& skipped) {
    std::vector<std::string> sequences;
    for (int i = 0; i < count; ++i)
        sequences.push_back(Sequence_File_Name(files[i]));
    for (int i = 0; i < count; ++i) {
        const auto of = std::find(sequences.begin(), sequences.end(), files[i]);
        if (of == sequences.end()) {
            keyFiles.push_back(files[i]);
        } else {
            skipped.emplace_back(files[i], files[of - sequences.begin()]);
        }
    }
}

// A key file of a batch over the template in the document, converted as a run of it alone with -o
// would: its own section of messages, its output whole or not at all.
Outcome Convert_Key_File(const char* keys, Batch& batch) {
    if (!Copy_File_Name(keys, AnimationKeysFileName)) return Outcome::NotConverted;
    Take_Sequence_File_Beside();
    const std::string output = Batch_Output_Name(keys, batch.Folder);
    if (output.size() >= kFileNameSize) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n", keys,
                    static_cast<int>(kFileNameSize - 1));
        return Outcome::NotConverted;
    }
    std::snprintf(OutputKfFileName, kFileNameSize, "%s", output.c_str());
    batch.Output = Place_of(OutputKfFileName);
    const auto taken = std::find_if(batch.Outputs.begin(), batch.Outputs.end(),
                                    [&](const auto& output) { return output.first == batch.Output; });
    batch.TakenBy = taken != batch.Outputs.end() ? taken->second : "";
    batch.Outputs.emplace_back(batch.Output, keys);
    std::printf("\nTry to open files:\n");
    if (!Open_Key_Files(false, &batch)) return Outcome::NotConverted;
    std::printf("\n");
    const std::int32_t warnings = Run_Key_File_Stages();
    if (warnings < 0) {
        Discard_Output();
        return Outcome::NotConverted;
    }
    if (!Close_Files()) return Outcome::NotConverted;
    std::printf("\n\t[ Converting Animation to KF format is DONE ! ]\n");
    return warnings > 0 ? Outcome::ConvertedWithWarnings : Outcome::Converted;
}

// The template of a batch, read once: its messages and warnings, and the file closed. False after its
// refusal.
bool Read_Batch_Template(const std::vector<const char*>& keyFiles) {
    if (Load_from_File___All_NIF_Blocks() < 0) {
        Explain_Swapped_Batch(keyFiles);
        return false;
    }
    Warn_of_Template_Sequences();
    const bool closed = std::fclose(InputKfFile) == 0;
    InputKfFile = nullptr;
    if (!closed) std::printf("\t- '%s' was NOT closed\n", InputKfFileName);
    return closed;
}

// The batch's summary, then its one key wait. Success only when every key file converted.
int Summarize_Batch(const std::vector<const char*>& keyFiles, const std::vector<Outcome>& outcomes) {
    const auto converted = std::count_if(outcomes.begin(), outcomes.end(),
                                         [](Outcome outcome) { return outcome != Outcome::NotConverted; });
    std::printf("\n%d of %d key files converted\n", static_cast<int>(converted),
                static_cast<int>(keyFiles.size()));
    for (const auto& [outcome, line] : {std::pair{Outcome::NotConverted, "was NOT converted"},
                                        {Outcome::ConvertedWithWarnings, "converted with warnings"}}) {
        for (std::size_t i = 0; i < keyFiles.size(); ++i) {
            if (outcomes[i] == outcome) std::printf("\t- '%s' %s\n", keyFiles[i], line);
        }
    }
    return Wait_and_Return(static_cast<std::size_t>(converted) == keyFiles.size() ? kExitSuccess
                                                                                  : kExitFailure);
}

// One template, many key files: the options checked, the skeleton and the template read once, then each
// key file converted in turn over the template restored, whatever became of the others.
int Convert_Batch(const char* templateName, Batch& batch, const std::vector<const char*>& keyFiles,
                  const std::vector<std::pair<const char*, const char*>>& skipped, const Options& options) {
    if (options.Sequence != nullptr) {
        std::printf("\nERROR: Option '--sequence' names the sequence file of one key file: with several, "
                    "each key file's own is read beside it!\n");
        return Wait_and_Return(kExitFailure);
    }
    if (options.Output != nullptr && !Is_Folder(options.Output)) {
        std::printf("\nERROR: With several key files, option '-o' names the folder for their outputs, and "
                    "'%s' is not a folder!\n",
                    options.Output);
        return Wait_and_Return(kExitFailure);
    }
    batch.Folder = options.Output;
    for (const char* given : batch.Given)
        batch.GivenPlaces.push_back(Place_of(given));
    if (!Copy_File_Name(templateName, InputKfFileName)) return Wait_and_Return(kExitFailure);
    if (!Read_Skeleton(options.Skeleton)) return Wait_and_Return(kExitFailure);
    std::printf("\nTry to open files:\n");
    InputKfFile = Open_Input(InputKfFileName);
    for (const auto& [sequence, keys] : skipped)
        std::printf("\t- '%s' <skipped: the sequence file of '%s', read with it>\n", sequence, keys);
    std::vector<Outcome> outcomes(keyFiles.size(), Outcome::NotConverted);
    if (InputKfFile != nullptr && Read_Batch_Template(keyFiles)) {
        const NifDocumentMark mark = Mark_Nif_Document();
        for (std::size_t i = 0; i < keyFiles.size(); ++i) {
            Reset_between_Files(&mark);
            outcomes[i] = Convert_Key_File(keyFiles[i], batch);
        }
    }
    return Summarize_Batch(keyFiles, outcomes);
}

} // namespace

int Posewright_Main(int argc, const char* const* argv) {
    Options options;
    const int first = Take_Options(
        argc, argv, kOptionOutput | kOptionSequence | kOptionSkeleton | kOptionCompress, options);
    if (Answer_Help_or_Version(options, "Posewright", kHelp)) return Wait_and_Return(kExitSuccess);
    if (first < 0) return Wait_and_Return(kExitFailure);
    Compression = {options.Compress,
                   {options.CompressBounds[0], options.CompressBounds[1], options.CompressBounds[2]}};
    if (argc - first < 2) {
        std::printf("\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright.exe Empty.kf "
                    "AnimationKeys.txt')\n");
        return Wait_and_Return(kExitFailure);
    }
    Batch batch;
    batch.Given.assign(argv + first + 1, argv + argc);
    std::vector<const char*> keyFiles;
    std::vector<std::pair<const char*, const char*>> skipped;
    Sort_Files(argc - first - 1, argv + first + 1, keyFiles, skipped);
    if (keyFiles.size() > 1) return Convert_Batch(argv[first], batch, keyFiles, skipped, options);
    if (!Take_File_Names(argv[first], keyFiles[0], options)) return Wait_and_Return(kExitFailure);
    if (!Read_Skeleton(options.Skeleton)) return Wait_and_Return(kExitFailure);
    if (!Open_Files(options.Sequence != nullptr)) return Wait_and_Return(kExitFailure);
    const std::int32_t stages = Run_Conversion_Stages();
    if (stages == -3) Terminate_Because_Of_Errors();
    if (stages < 0) {
        Discard_Output();
        return Wait_and_Return(kExitFailure);
    }
    if (!Close_Files()) return Wait_and_Return(kExitFailure);
    std::printf("\n\t[ Converting Animation to KF format is DONE ! ]\n");
    return Wait_and_Return(kExitSuccess);
}
