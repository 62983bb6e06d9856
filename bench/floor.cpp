// The floor: what any conversion must at least do, read the key file once and write a file of the
// output's size, both through the C library's buffered streams as the tool does.
//     bench_floor KEYS OUTPUT SIZE
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s KEYS OUTPUT SIZE\n", argv[0]);
        return 2;
    }
    std::vector<unsigned char> buffer(64 * 1024);
    std::FILE* keys = std::fopen(argv[1], "r");
    std::FILE* output = std::fopen(argv[2], "wb");
    if (keys == nullptr || output == nullptr) return 1;
    // A sum of the bytes keeps the reads from being mere copies nobody looks at.
    unsigned sum = 0;
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), keys)) > 0;) {
        for (std::size_t i = 0; i < got; ++i)
            sum += buffer[i];
    }
    for (unsigned char& byte : buffer)
        byte = static_cast<unsigned char>(sum);
    for (unsigned long long left = std::strtoull(argv[3], nullptr, 10); left > 0;) {
        const std::size_t chunk = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
        if (std::fwrite(buffer.data(), 1, chunk, output) != chunk) return 1;
        left -= chunk;
    }
    return std::fclose(output) == 0 && std::fclose(keys) == 0 ? 0 : 1;
}
