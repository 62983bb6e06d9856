// The one list of the tables' resets, room by room, and what each moment keeps.
#include "driver/reset.h"

#include <cstdio>

#include "build/blocks.h"
#include "check/problems.h"
#include "check/skeleton.h"
#include "keys/anim_keys.h"
#include "keys/sequence_file.h"
#include "nif/nif_file.h"
#include "sample/read_back.h"

// The tables of one file, the document aside.
static void Reset_File_Tables() {
    Reset_Built_Blocks();
    Reset_Read_Back();
    Reset_Problems();
    Reset_Sequence_Settings();
}

void Reset_at_Program_Start() {
    Reset_Nif_Document();
    Reset_Anim_Keys();
    Reset_File_Tables();
    Reset_Skeleton();
}

void Reset_between_Files(const NifDocumentMark* templateMark) {
    for (std::FILE** file : {&InputKfFile, &AnimationKeysFile, &SequenceSettingsFile}) {
        if (*file != nullptr) std::fclose(*file);
        *file = nullptr;
    }
    if (templateMark != nullptr) {
        Restore_Nif_Document(*templateMark);
        // Over a template, only the key file's load wrote the bone table: the cost follows the file.
        Reset_Loaded_Anim_Keys();
    } else {
        Reset_Nif_Document();
        Reset_Anim_Keys();
    }
    Reset_File_Tables();
}
