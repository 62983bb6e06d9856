// The floor: what any conversion must at least do, read the key file once and write a file of the
// output's size, both through the C library's buffered streams as the tool does. Given MEMORY_KIB,
// it also writes into every page of that much fresh memory first: the price of the memory that a
// conversion holds, which the kernel hands out one page fault at a time.
//     bench_floor KEYS OUTPUT SIZE [MEMORY_KIB]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

// Where the held memory escapes to, so that the compiler keeps every write into it.
unsigned char* volatile HeldMemory;

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s KEYS OUTPUT SIZE [MEMORY_KIB]\n", argv[0]);
        return 2;
    }
    const std::size_t memory = argc == 5 ? std::strtoull(argv[4], nullptr, 10) * 1024 : 0;
    const std::unique_ptr<unsigned char[]> held(new unsigned char[memory]);
    HeldMemory = held.get();
    for (std::size_t at = 0; at < memory; at += 4096)
        held[at] = 1;
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
