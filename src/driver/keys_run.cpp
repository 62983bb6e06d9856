// The run of posewright-keys: a .kf back to key text, or with --nodes a skeleton's nodes as text, or with
// --template a .kf's header as an empty template. It shares the converter's loader, readers and
// messages, and adds only its own order and report. Each output appears complete or not at all: it is
// written beside its input under a temporary name and takes its place once flushed and closed.
#include "driver/keys_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "capacities.h"
#include "check/problems.h"
#include "check/skeleton.h"
#include "driver/common.h"
#include "driver/files.h"
#include "driver/names.h"
#include "driver/options.h"
#include "driver/reset.h"
#include "keys/anim_keys.h"
#include "keys/node_text.h"
#include "keys/number_text.h"
#include "keys/sequence_file.h"
#include "kf/controller_sequence.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "platform/platform.h"
#include "sample/read_back.h"

static const char* const kHelp =
    "\nPosewright-Keys: a .kf animation back to key files, with the problems found in it.\n"
    "\n"
    "Usage:\tPosewright-Keys.exe [--rate N] [--skeleton SKELETON.nif] FILE.kf|FOLDER ...\n"
    "\tPosewright-Keys.exe --nodes SKELETON.nif|FOLDER ...\n"
    "\tPosewright-Keys.exe --template FILE.kf|FOLDER ...\n"
    "\tPosewright-Keys.exe --help | --version\n"
    "\n"
    "Writes FILE_keys.txt beside FILE.kf (FILE_<sequence>_keys.txt for each sequence when it holds\n"
    "several), in the key-file format Posewright.exe reads, and lists what it finds wrong: rotations\n"
    "that turn the long way round, keys after the end, angles that look like degrees, names repeated.\n"
    "A bone that moves along a spline curve becomes keys sampled from it. A folder stands for the .kf\n"
    "files directly inside it; with several files a summary ends the run.\n"
    "\n"
    "--skeleton\tthe .nif the animation plays on: nodes it lacks and other units are problems\n"
    "--rate\tkeys a second sampled from a curve, 1 to 1000 (default 30, the rate games animate at)\n"
    "--nodes\twrites SKELETON_nodes.txt instead: each node's name, parent and pose, for the Blender add-on\n"
    "\t(a folder stands for its .nif files)\n"
    "--template\twrites FILE_template.kf instead: the file's header alone, a template for Posewright.exe\n"
    "\n"
    "Exit status 0 after the DONE line (with several files: when every one was read), 1 after an ERROR.\n"
    "\n"
    "The whole manual: docs/posewright-keys.md\n";

namespace {

std::int32_t Total_Keys() {
    std::int32_t keys = 0;
    for (std::int32_t b = 0; b < NumAnimBones; ++b)
        keys += AnimBones[b].NumKeys;
    return keys;
}

void Report_Not_Written(const std::string& name, const char* what) {
    std::printf("\t- '%s' was NOT written\n\nERROR: Cannot write the %s '%s'!\n", name.c_str(), what,
                name.c_str());
}

// Writes `save`'s text to `name`.part through `file`. True when it is complete; false after the ERROR
// line, with no partial file left.
template <typename Save>
bool Write_Partial(const std::string& name, std::FILE*& file, Save save, const char* what) {
    const std::string partial = Partial_Name(name);
    file = Open_File(partial.c_str(), FileMode::Write);
    if (file == nullptr) {
        std::printf("\t- '%s' was NOT created\n\nERROR: Cannot create the %s '%s'!\n", name.c_str(), what,
                    name.c_str());
        return false;
    }
    const bool written = save() == 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (written && closed) return true;
    Remove_File(partial.c_str());
    if (written) Report_Not_Written(name, what);
    return false;
}

// A file of a pair, written whole under its partial name.
struct PairFile {
    const std::string& Name;
    const char* What;
};

// The written files of a pair take their names, replaced whole or not at all: each old file of those
// names is set aside first, so that when a rename fails every one is put back as it was, and goes once
// all are in place. False after the ERROR line, no partial file left.
bool Place_Pair(std::span<const PairFile> pair) {
    bool aside[2] = {};
    std::size_t placed = 0;
    for (; placed < pair.size(); ++placed) {
        const char* name = pair[placed].Name.c_str();
        const std::string partial = Partial_Name(name);
        Keep_Permissions(name, partial.c_str());
        // A folder of that name stays where it is, and the rename after refuses it.
        aside[placed] = !Is_Folder(name) && Replace_File(name, Aside_Name(name).c_str());
        if (!Replace_File(partial.c_str(), name)) break;
    }
    for (std::size_t i = 0; i < pair.size(); ++i) {
        const char* name = pair[i].Name.c_str();
        if (placed == pair.size()) {
            if (aside[i]) Remove_File(Aside_Name(name).c_str());
            std::printf("\t- '%s' <written>\n", name);
        } else if (aside[i]) {
            // Not put back, the old file stays whole under its aside name, and the user is told where.
            if (!Replace_File(Aside_Name(name).c_str(), name))
                std::printf("\nERROR: The old file '%s' could not be put back: it is kept as '%s'!\n", name,
                            Aside_Name(name).c_str());
        } else if (i < placed) {
            Remove_File(name);
        }
        Remove_File(Partial_Name(name).c_str());
    }
    if (placed == pair.size()) return true;
    Report_Not_Written(pair[placed].Name, pair[placed].What);
    return false;
}

// The bone table as the key file `keys` and, when the sequence holds more than the converter would
// write for it, the sequence settings as the sequence file beside it. The two are one pair: each is
// written whole under a temporary name, then both take their names together; a sequence file of that
// name that the pair no longer needs goes once they have, so that it cannot change the next
// conversion. False after an ERROR line.
bool Write_Key_Files(const std::string& keys) {
    const std::string sequence = Sequence_File_Name(keys);
    // A sequence file whose name would not fit is never read, so it is needed only when written.
    const bool needed = Sequence_Settings_Needed();
    if (keys.size() >= kFileNameSize || (needed && sequence.size() >= kFileNameSize)) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n",
                    InputKfFileName, static_cast<int>(kFileNameSize - 1));
        return false;
    }
    std::snprintf(OutputKeysFileName, sizeof OutputKeysFileName, "%s", keys.c_str());
    std::snprintf(OutputSequenceFileName, sizeof OutputSequenceFileName, "%s", sequence.c_str());
    const std::string keysPart = keys.substr(File_Name_Start(keys));
    if (!Write_Partial(keys, OutputKeysFile, Save_to_File___Animation_Keys, "key file")) return false;
    const auto save = [&] { return Save_to_File___Sequence_Settings(keysPart.c_str()); };
    if (needed && !Write_Partial(sequence, OutputSequenceFile, save, "sequence file")) {
        Remove_File(Partial_Name(keys).c_str());
        return false;
    }
    const PairFile pair[] = {{keys, "key file"}, {sequence, "sequence file"}};
    if (!Place_Pair(std::span(pair, needed ? 2 : 1))) return false;
    const bool readable = sequence.size() < kFileNameSize;
    if (std::FILE* stale = needed || !readable ? nullptr : Open_File(sequence.c_str(), FileMode::Read)) {
        std::fclose(stale);
        if (Remove_File(sequence.c_str()))
            std::printf("\t- '%s' <removed: the sequence needs no settings beside its keys>\n",
                        sequence.c_str());
    }
    return true;
}

// Reads and writes every sequence. The number of key files written, or -1 when one failed.
std::int32_t Write_All_Key_Files(const std::vector<std::int32_t>& sequences) {
    std::vector<std::string> taken;
    std::int32_t written = 0;
    for (const std::int32_t block : sequences) {
        if (Load_Sequence_Keys(block) < 0) continue;
        if (SkeletonFileName[0] != '\0') {
            const char* root = String_at(ReadBack.Sequence.AccumRootName);
            for (const SkeletonFinding& finding : Check_Against_Skeleton(SkeletonFileName, root))
                Note(-1, finding.Text);
        }
        char duration[kMaxFloatText + 1] = {};
        Put_Float(duration, AnimDuration);
        std::printf("\nSequence '%s': %d bones, %d keys, %s s, %s\n", Sequence_Name().c_str(), NumAnimBones,
                    Total_Keys(), duration, IsEulerFormat ? "Euler angles" : "quaternions");
        if (Curve_Bones() > 0)
            std::printf("\t- %d bones sampled from their curves at %s keys a second\n", Curve_Bones(),
                        Rate_Text(Curve_Keys_Per_Second).c_str());
        if (Resampled_Bones() > 0)
            std::printf("\t- %d bones' tracks resampled at the union of their key times: nothing is lost\n",
                        Resampled_Bones());
        std::string name = Key_File_Name(InputKfFileName, Sequence_Name(), sequences.size() > 1);
        // Two sequences of one name: the second key file is numbered.
        for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n)
            name = Key_File_Name(InputKfFileName, Sequence_Name() + "_" + std::to_string(n), true);
        taken.push_back(name);
        if (!Write_Key_Files(name)) return -1;
        ++written;
    }
    return written;
}

// What became of a file.
enum class Outcome { NotRead, Read, ReadWithProblems };

// Opens and loads the file InputKfFileName into the document. False after its ERROR line; only a file
// read alone ends its refused container with the termination line: in a batch the run goes on.
bool Load_Input(bool alone) {
    std::printf("\nTry to open files:\n");
    InputKfFile = Open_File(InputKfFileName, FileMode::Read);
    if (InputKfFile == nullptr) {
        std::printf("\t- '%s' was NOT found\n", InputKfFileName);
        return false;
    }
    std::printf("\t- '%s' <ok>\n", InputKfFileName);
    if (Load_from_File___All_NIF_Blocks() < 0) {
        // A key file given for a .kf: its first line names a rotation format.
        if (Template_Looks_Like_Keys())
            std::printf("\nERROR: '%s' is a key file, not a .kf: Posewright.exe turns it into one "
                        "('Posewright.exe Empty.kf %s')!\n",
                        InputKfFileName, InputKfFileName);
        if (alone) std::printf("\nProgram terminated because of Errors !\n");
        return false;
    }
    const bool closed = std::fclose(InputKfFile) == 0;
    InputKfFile = nullptr;
    if (!closed) std::printf("\t- '%s' was NOT closed\n", InputKfFileName);
    return closed;
}

// The problem lines, or that there are none; what became of the file.
Outcome Report_Problems() {
    if (Problem_Lines.empty()) {
        std::printf("\nNo problems found.\n");
        return Outcome::Read;
    }
    std::printf("\nProblems found:\n%s", Problem_Lines.c_str());
    return Outcome::ReadWithProblems;
}

// The .kf file InputKfFileName read: its key files written, its problems listed, the closing line or
// its ERROR line.
Outcome Read_Kf_File(bool alone) {
    if (!Load_Input(alone)) return Outcome::NotRead;
    const std::vector<std::int32_t> sequences = Sequence_Blocks();
    if (sequences.empty()) {
        std::printf("\nERROR: '%s' holds no animation (no NiControllerSequence block)!\n", InputKfFileName);
        return Outcome::NotRead;
    }
    const std::int32_t written = Write_All_Key_Files(sequences);
    if (written < 0) return Outcome::NotRead;
    const Outcome outcome = Report_Problems();
    if (written == 0) {
        std::printf("\nERROR: No sequence of '%s' could be read!\n", InputKfFileName);
        return Outcome::NotRead;
    }
    std::printf("\n\t[ Reading KF animation to key text is DONE ! ]\n");
    return outcome;
}

// The one output `name` of a job, written whole by `save` through `file`. False after an ERROR line, no
// partial file left.
template <typename Save>
bool Write_Output(const std::string& name, std::FILE*& file, Save save, const char* what) {
    if (name.size() >= kFileNameSize) {
        std::printf("\nERROR: Output file name for '%s' is too long (at most %d characters)!\n",
                    InputKfFileName, static_cast<int>(kFileNameSize - 1));
        return false;
    }
    const PairFile one[] = {{name, what}};
    return Write_Partial(name, file, save, what) && Place_Pair(one);
}

// The nodes of the .nif InputKfFileName as the node text beside it (--nodes). A node block that does not
// add up is a problem line, and left out.
Outcome Write_Node_Text_File(bool alone) {
    if (!Load_Input(alone)) return Outcome::NotRead;
    for (const std::string& finding : Take_Skeleton_from_Document())
        Problem_Lines += "\t- " + finding + "\n";
    if (NumSkeletonNodes == 0) {
        std::printf("\nERROR: '%s' holds no node (no NiNode block, nor a kind built on it)!\n",
                    InputKfFileName);
        return Outcome::NotRead;
    }
    const std::vector<NodeLine> nodes = Skeleton_Node_Lines();
    const auto roots =
        std::count_if(nodes.begin(), nodes.end(), [](const NodeLine& n) { return n.Parent.empty(); });
    std::printf("\nSkeleton: %d nodes, %d roots\n", static_cast<int>(nodes.size()), static_cast<int>(roots));
    std::FILE* file = nullptr;
    const std::string name = Nodes_File_Name(InputKfFileName);
    const auto save = [&] { return Save_to_File___Node_Text(file, name.c_str(), nodes); };
    if (!nodes.empty() && !Write_Output(name, file, save, "node text")) return Outcome::NotRead;
    const Outcome outcome = Report_Problems();
    if (nodes.empty()) {
        std::printf("\nERROR: No node of '%s' could be read!\n", InputKfFileName);
        return Outcome::NotRead;
    }
    std::printf("\n\t[ Writing the skeleton's nodes as text is DONE ! ]\n");
    return outcome;
}

// The texts the document's sequences name as their accumulation root, each once, in block order. A
// sequence that does not hold its layout is a problem line.
std::vector<std::string> Accumulation_Roots() {
    static ControllerSequence sequence; // too large for the stack
    std::vector<std::string> roots;
    for (const std::int32_t block : Sequence_Blocks()) {
        ByteReader in = Open_Block_Reader(block);
        if (Load_from_Memory___NiControllerSequence(in, sequence) < 0) {
            SequenceLabel = "Sequence in " + Block_Label(block);
            Note_Unreadable(-1, block, in.Fault, "its accumulation root is not kept");
            continue;
        }
        const char* root = String_at(sequence.AccumRootName);
        if (root != nullptr && std::find(roots.begin(), roots.end(), root) == roots.end())
            roots.emplace_back(root);
    }
    return roots;
}

// The .kf InputKfFileName as an empty template beside it (--template): its header as it stands, no
// blocks, block types, groups or footer roots, and of its strings the sequences' accumulation roots,
// so that a conversion over it takes the same root.
Outcome Write_Template_File(bool alone) {
    if (!Load_Input(alone)) return Outcome::NotRead;
    const std::vector<std::string> roots = Accumulation_Roots();
    Restore_Nif_Document({});
    NiFooter_NumRoots = 0;
    for (const std::string& root : roots)
        Create_New_String_in_Header(root.c_str());
    std::printf("\nTemplate: the header of '%s', %d strings\n", InputKfFileName,
                static_cast<int>(roots.size()));
    const std::string name = Template_File_Name(InputKfFileName);
    std::snprintf(OutputKfFileName, sizeof OutputKfFileName, "%s", name.c_str());
    if (!Write_Output(name, OutputKfFile, Write_All_NIF_Block_to_File, "template")) return Outcome::NotRead;
    const Outcome outcome = Report_Problems();
    std::printf("\n\t[ Writing the template is DONE ! ]\n");
    return outcome;
}

// The files given: a folder that holds files of `extension` stands for them, any other name (a folder
// without one too, refused when read) for itself.
std::vector<std::string> Files_Given(int count, const char* const* names, const char* extension) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        const std::vector<std::string> inside =
            Is_Folder(names[i]) ? Files_In(names[i], extension) : std::vector<std::string>{};
        if (inside.empty()) files.emplace_back(names[i]);
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

// The summary of many files, then the one key wait. Success only when every file was read.
int Summarize(const std::vector<std::string>& files, const std::vector<Outcome>& outcomes) {
    const auto read = std::count_if(outcomes.begin(), outcomes.end(),
                                    [](Outcome outcome) { return outcome != Outcome::NotRead; });
    std::printf("\n%d of %d files read\n", static_cast<int>(read), static_cast<int>(files.size()));
    for (const auto& [outcome, line] :
         {std::pair{Outcome::NotRead, "was NOT read"}, {Outcome::ReadWithProblems, "read with problems"}}) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (outcomes[i] == outcome) std::printf("\t- '%s' %s\n", files[i].c_str(), line);
        }
    }
    return Wait_and_Return(static_cast<std::size_t>(read) == files.size() ? kExitSuccess : kExitFailure);
}

} // namespace

int Posewright_Keys_Main(int argc, const char* const* argv) {
    Options options;
    const int first =
        Take_Options(argc, argv, kOptionRate | kOptionSkeleton | kOptionNodes | kOptionTemplate, options);
    if (Answer_Help_or_Version(options, "Posewright-Keys", kHelp)) return Wait_and_Return(kExitSuccess);
    if (first < 0) return Wait_and_Return(kExitFailure);
    if (first >= argc) {
        std::printf("\nERROR: not enough arguments.\n\n\t(Example of use: 'Posewright-Keys.exe Walk.kf')\n");
        return Wait_and_Return(kExitFailure);
    }
    Curve_Keys_Per_Second = options.Rate;
    const std::vector<std::string> files =
        Files_Given(argc - first, argv + first, options.Nodes ? ".nif" : ".kf");
    Outcome (*const job)(bool) = options.Nodes      ? Write_Node_Text_File
                                 : options.Template ? Write_Template_File
                                                    : Read_Kf_File;
    // One file: its name is taken before the skeleton is read, as it always was.
    if (files.size() == 1 && !Copy_File_Name(files[0].c_str(), InputKfFileName))
        return Wait_and_Return(kExitFailure);
    if (!Read_Skeleton(options.Skeleton)) return Wait_and_Return(kExitFailure);
    if (files.size() == 1)
        return Wait_and_Return(job(true) == Outcome::NotRead ? kExitFailure : kExitSuccess);
    std::vector<Outcome> outcomes;
    for (const std::string& file : files) {
        Reset_between_Files(nullptr);
        Curve_Keys_Per_Second = options.Rate;
        outcomes.push_back(Copy_File_Name(file.c_str(), InputKfFileName) ? job(false) : Outcome::NotRead);
    }
    return Summarize(files, outcomes);
}
