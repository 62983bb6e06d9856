#include "key_generator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// splitmix64: the same numbers on every platform and standard library.
struct Random {
    std::uint64_t State;
    double Unit() { // in [0, 1)
        std::uint64_t z = (State += 0x9e3779b97f4a7c15u);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1p-53;
    }
    double Between(double low, double high) { return low + (high - low) * Unit(); }
};

// A line under construction.
class Line {
  public:
    void Text(const char* text) {
        while (*text != '\0')
            Bytes[Length++] = *text++;
    }
    // As "%.<digits>g" would write it.
    void Number(double value, int digits = 7) { Put_Number(value, std::chars_format::general, digits); }
    // As "%.6f" would write it.
    void Fixed(double value) { Put_Number(value, std::chars_format::fixed, 6); }
    bool Put(std::FILE* file) {
        Bytes[Length++] = '\n';
        const bool written = std::fwrite(Bytes, 1, Length, file) == Length;
        Length = 0;
        return written;
    }

  private:
    void Put_Number(double value, std::chars_format format, int precision) {
        if (Length != 0) Bytes[Length++] = ' ';
        const auto result = std::to_chars(Bytes + Length, Bytes + sizeof Bytes, value, format, precision);
        Length = static_cast<std::size_t>(result.ptr - Bytes);
    }
    char Bytes[512];
    std::size_t Length = 0;
};

// One bone's motion: each channel a sine of its own amplitude, frequency and phase.
struct Channel {
    double Base, Amplitude, Frequency, Phase;
    double At(double t) const { return Base + Amplitude * std::sin(Frequency * t + Phase); }
};

Channel Random_Channel(Random& random, double base, double amplitude) {
    return {base, random.Between(0, amplitude), random.Between(0.5, 6), random.Between(0, 6.28)};
}

struct BoneMotion {
    Channel Position[3], Rotation[3];

    explicit BoneMotion(Random& random) {
        for (Channel& channel : Position)
            channel = Random_Channel(random, random.Between(-60, 60), 15);
        for (Channel& channel : Rotation)
            channel = Random_Channel(random, random.Between(-1.5, 1.5), 1.5);
    }

    void Key(Line& line, double t, KeyFormat format) const {
        line.Number(t, 6);
        for (const Channel& channel : Position)
            line.Fixed(channel.At(t));
        const double x = Rotation[0].At(t), y = Rotation[1].At(t), z = Rotation[2].At(t);
        if (format == KeyFormat::Quaternion) {
            // A unit quaternion from the rotation vector (x, y, z).
            const double angle = std::sqrt(x * x + y * y + z * z) + 1e-9;
            const double s = std::sin(angle / 2) / angle;
            line.Number(std::cos(angle / 2));
            line.Number(x * s);
            line.Number(y * s);
            line.Number(z * s);
        } else {
            line.Number(x);
            line.Number(y);
            line.Number(z);
        }
        line.Fixed(1);
    }
};

bool Write_Bone(std::FILE* file, Line& line, const char* name, std::int32_t keys) {
    line.Text("Bone name: \"");
    line.Text(name);
    line.Text("\";");
    bool written = line.Put(file);
    char count[16];
    std::snprintf(count, sizeof count, "%d", keys);
    line.Text(count);
    return line.Put(file) && written;
}

} // namespace

bool Write_Key_File(const std::string& path, const KeyFileShape& shape) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    const double fps = 30;
    Line line;
    line.Text(shape.Format == KeyFormat::Quaternion
                  ? "Rotations as Quaternions: time, position x y z, rotation w x y z, scale"
                  : "Rotations as Euler angles: time, position x y z, angles x y z, scale");
    bool written = line.Put(file.get());
    line.Number((shape.Keys - 1) / fps, 6); // as the last key's time is written: no key after the end
    written = line.Put(file.get()) && written;
    Random random{0x5eed0000u + static_cast<std::uint64_t>(shape.Bones)};
    for (std::int32_t b = 0; b < shape.Bones; ++b) {
        char name[64];
        if (b == 0)
            std::snprintf(name, sizeof name, "NPC Root [Root]");
        else
            std::snprintf(name, sizeof name, "NPC Bone %03d", b);
        written = Write_Bone(file.get(), line, name, shape.Keys) && written;
        const BoneMotion motion(random);
        for (std::int32_t k = 0; k < shape.Keys; ++k) {
            motion.Key(line, k / fps, shape.Format);
            written = line.Put(file.get()) && written;
        }
    }
    written = Write_Bone(file.get(), line, "End of keys", 0) && written;
    return std::fclose(file.release()) == 0 && written;
}
