#include "support/fixtures.h"

#include "keys/anim_keys.h"
#include "kf/sequence.h"
#include "kf/transform_data.h"
#include "nif/nif_document.h"

void Reset_All_Tables() {
    Reset_Nif_Document();
    Reset_Anim_Keys();
    Reset_Transform_Data();
    Reset_Sequence();
}

std::FILE* File_With(const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

std::FILE* File_With(const std::string& text) {
    return File_With(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> Contents_Of(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::vector<std::uint8_t> bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<std::uint8_t>(c));
    return bytes;
}
