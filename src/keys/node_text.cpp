// The node text's writer, on the sequence file's quoted text and the key text's numbers.
#include "keys/node_text.h"

#include "keys/sequence_values.h"

std::string Node_Text(const std::vector<NodeLine>& nodes) {
    std::string out = std::string(kNodeTextFormatLine) + '\n';
    for (const NodeLine& node : nodes) {
        Put_Text(out, node.Name.c_str());
        out += ' ';
        Put_Text(out, node.Parent.c_str());
        const float(&t)[3] = node.Translation;
        const float(&q)[4] = node.Rotation;
        for (float value : {t[0], t[1], t[2], q[0], q[1], q[2], q[3], node.Scale})
            Put_Number(out += ' ', value);
        out += '\n';
    }
    return out;
}

std::int32_t Save_to_File___Node_Text(std::FILE* file, const char* name, const std::vector<NodeLine>& nodes) {
    const std::string text = Node_Text(nodes);
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fflush(file) != 0 ||
        std::ferror(file)) {
        std::printf("\n[Save_to_File___Node_Text] ERROR: Cannot write '%s' (disk full or no access)!\n",
                    name);
        return -3;
    }
    return 0;
}
