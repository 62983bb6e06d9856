// The run, top to bottom: names, open, load the template, load the keys, build, write, close.
// Every way out waits for one key press; only the success line comes with status 0.
#include "driver/driver.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "capacities.h"
#include "driver/files.h"
#include "driver/options.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "kf/read_back.h"
#include "kf/sequence.h"
#include "kf/skeleton.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "platform/platform.h"

inline constexpr const char* kOutputSuffix = "_new.kf";

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
    "\n"
    "With several key files each is converted over the template in turn, into its own name with .kf for\n"
    "its extension (walk.txt gives walk.kf), beside it or in the folder -o names; a KEYS.sequence.txt\n"
    "given beside its KEYS.txt is read with it. A summary ends the run.\n"
    "\n"
    "Exit status 0 after the DONE line (with several key files: when every one converted), 1 after an "
    "ERROR.\n";

static std::string PartialOutputName; // set once the partial output exists
char SkeletonFileName[kFileNameSize];

int Wait_and_Return(int status) {
    Wait_for_Key_Press();
    return status;
}

bool Answer_Help_or_Version(int argc, const char* const* argv, const char* program, const char* help) {
    if (argc != 2) return false;
    const std::string argument = argv[1];
    if (argument == "--help" || argument == "-h" || argument == "/?") {
        std::printf("%s", help);
        return true;
    }
    if (argument == "--version") {
        std::printf("%s %s\n", program, POSEWRIGHT_VERSION);
        return true;
    }
    return false;
}

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

// Leaves the output as the run found it: the partial file goes, a file of the output's name stays.
static void Discard_Output() {
    if (OutputKfFile != nullptr) std::fclose(OutputKfFile);
    OutputKfFile = nullptr;
    if (!PartialOutputName.empty()) Remove_File(PartialOutputName.c_str());
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

// A key file whose sequence file's name would not fit has none.
static void Take_Sequence_File_Beside() {
    const std::string beside = Sequence_File_Name(AnimationKeysFileName);
    SequenceSettingsFileName[0] = '\0';
    if (beside.size() < kFileNameSize)
        std::snprintf(SequenceSettingsFileName, kFileNameSize, "%s", beside.c_str());
}

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

static std::FILE* Open_Input(const char* name) {
    std::FILE* file = Open_File(name, FileMode::Read);
    if (file == nullptr) {
        std::printf("\t- '%s' was NOT found\n", name);
    } else {
        std::printf("\t- '%s' <ok>\n", name);
    }
    return file;
}

// What a batch shares between its key files: every file given after the template, with its place (as
// Place_of names it); where the outputs go (nullptr: beside each key file); the place of the output of the
// key file in hand and the key file before it that would write it too, if any; the outputs so far, with
// their key files.
struct Batch {
    std::vector<const char*> Given;
    std::vector<std::string> GivenPlaces;
    const char* Folder = nullptr;
    std::string Output, TakenBy;
    std::vector<std::pair<std::string, std::string>> Outputs;
};

// An output that would overwrite an input. Each file a batch was given is known by its place, found
// once: a batch of n key files tests n names, not n files on disk, for each.
static bool Output_Is_An_Input(const Batch* batch) {
    const char* input = nullptr;
    for (const char* own : {InputKfFileName, AnimationKeysFileName, SequenceSettingsFileName}) {
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

// The key file, its sequence file and the output, after the template (in a batch, its other files).
static bool Open_Key_Files(bool named, Batch* batch) {
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

static bool Open_Files(bool named) {
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

// Closes output, template and keys in this order; the first failure ends the closing and discards the
// output. Then the complete output takes its name.
static bool Close_Files() {
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
        return true;
    }
    Discard_Output();
    return false;
}

// The first line of `file` reads as a .kf's header line.
static bool Begins_Like_Kf(std::FILE* file) {
    char line[kHeaderLineSize] = {};
    return file != nullptr && std::fgets(line, sizeof line, file) != nullptr &&
           std::strstr(line, "File Format, Version") != nullptr;
}

// The template's first line names a rotation format, as a key file's does.
static bool Template_Looks_Like_Keys() {
    return std::strstr(Header_String, "Quaternions") != nullptr ||
           std::strstr(Header_String, "Euler") != nullptr;
}

// A template refused while the two files look swapped (its first line names a rotation format, or the
// key file begins as a .kf does): one more line says which comes first.
static void Explain_Swapped_Files() {
    if (Begins_Like_Kf(AnimationKeysFile) || Template_Looks_Like_Keys())
        std::printf("\nERROR: The two files look swapped: give the template .kf first and the key file "
                    "second!\n");
}

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

// A template that already animates something: the output holds its sequences beside the new one.
static void Warn_of_Template_Sequences() {
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
    const char* root = String_at(NiControllerSequence_AccumRootName);
    std::vector<SkeletonFinding> findings = Check_Against_Skeleton(SkeletonFileName, root);
    for (SkeletonFinding& finding : findings) {
        finding.Text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(finding.Text[0])));
        std::printf("WARNING: %s\n", finding.Text.c_str());
    }
    return static_cast<std::int32_t>(findings.size());
}

// The stages after the template: keys, format check, sequence settings, build, write. The number of
// warnings printed; -1 after a message of the driver's own, -3 after a failing stage's.
static std::int32_t Run_Key_File_Stages() {
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
    std::printf("\n");
    if (Create_All_KF_Blocks() < 0) return -3;
    const std::int32_t warnings = AnimKeys_NumWarnings + Warn_of_Skeleton_Findings();
    if (Write_All_NIF_Block_to_File() < 0) return -3;
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

std::string Batch_Output_Name(const std::string& keyFile, const char* folder) {
    const std::string output = Without_Extension(keyFile) + ".kf";
    return folder == nullptr ? output : In_Folder(folder, output.substr(File_Name_Start(output)));
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

// What a key file fills back to its state at program start, the document to the template's, and the
// inputs a refused key file left open closed.
void Reset_for_Key_File(const NifDocumentMark& mark) {
    for (std::FILE** file : {&AnimationKeysFile, &SequenceSettingsFile}) {
        if (*file != nullptr) std::fclose(*file);
        *file = nullptr;
    }
    Restore_Nif_Document(mark);
    Reset_Loaded_Anim_Keys();
    Reset_Transform_Data();
    Reset_Sequence();
    Reset_Sequence_Settings();
    PartialOutputName.clear();
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
            Reset_for_Key_File(mark);
            outcomes[i] = Convert_Key_File(keyFiles[i], batch);
        }
    }
    return Summarize_Batch(keyFiles, outcomes);
}

} // namespace

int Posewright_Main(int argc, const char* const* argv) {
    if (Answer_Help_or_Version(argc, argv, "Posewright", kHelp)) return Wait_and_Return(kExitSuccess);
    Options options;
    const int first = Take_Options(argc, argv, kOptionOutput | kOptionSequence | kOptionSkeleton, options);
    if (first < 0) return Wait_and_Return(kExitFailure);
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
