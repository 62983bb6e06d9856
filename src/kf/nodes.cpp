// The node reader: each field in file order through the bounded reader, every count checked against the
// bytes left and the table before its links are read. The rotation's reading is the one place that knows
// the nine floats are the rows of R.
#include "kf/nodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

// The last user version 2 whose node flags are 16 bits, holds properties, holds effects.
constexpr std::uint32_t kLastShortFlags = 26, kLastProperties = 34, kLastEffects = 129;

// A count past the table is refused before it is filled; one past the body, by the reads.
void Read_Links(ByteReader& in, NodeLinks& links) {
    links.Count = Read_Count(in, kMaxNodeLinks, "a count of links is more than the table holds");
    for (std::uint32_t i = 0; i < links.Count; ++i)
        links.Links[i] = Read_i32(in);
}

// Kinds whose names end in "Node" but that are not nodes: extra data and an old animation record.
constexpr const char* kNotNodes[] = {"BSFurnitureMarkerNode", "Ni3dsAnimationNode"};
// Kinds built on a node whose names do not say so.
constexpr const char* kUnnamedNodes[] = {"NiBone", "BSDamageStage", "BSMasterParticleSystem",
                                         "NiRoom", "NiRoomGroup",   "NiWall"};

bool Listed(const char* type, const auto& names) {
    for (const char* name : names) {
        if (std::strcmp(type, name) == 0) return true;
    }
    return false;
}

using Matrix = double[3][3];

double Determinant(const Matrix& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

bool Orthonormal(const Matrix& m) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double dot = m[i][0] * m[j][0] + m[i][1] * m[j][1] + m[i][2] * m[j][2];
            if (!(std::fabs(dot - (i == j)) <= 1e-4)) return false;
        }
    }
    return true;
}

// `m` made its orthogonal polar factor by Newton's iteration X <- (X + X^-T) / 2, which converges for any
// matrix that is not singular; X^-T is X's cofactors over its determinant. False when `m` is singular or
// not finite, or the iteration does not settle.
bool Polar_Factor(Matrix& m) {
    constexpr int kMaxSteps = 100;
    for (int step = 0; step < kMaxSteps; ++step) {
        const double det = Determinant(m);
        if (!std::isfinite(det) || det == 0) return false;
        Matrix next;
        double change = 0;
        for (int i = 0; i < 3; ++i) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
            for (int j = 0; j < 3; ++j) {
                const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                const double cofactor = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
                next[i][j] = (m[i][j] + cofactor / det) / 2;
                change = std::max(change, std::fabs(next[i][j] - m[i][j]));
            }
        }
        std::memcpy(m, next, sizeof next);
        if (change < 1e-13) return true;
    }
    return false;
}

// The unit quaternion of rotation `m`, from the largest of its four squared parts, so that no division is
// by a small number; w >= 0, and no part -0.
void Quaternion_of(const Matrix& m, float (&quaternion)[4]) {
    double q[4];
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        const double s = 2 * std::sqrt(1 + trace);
        q[0] = s / 4, q[1] = (m[2][1] - m[1][2]) / s, q[2] = (m[0][2] - m[2][0]) / s,
        q[3] = (m[1][0] - m[0][1]) / s;
    } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q[0] = (m[2][1] - m[1][2]) / s, q[1] = s / 4, q[2] = (m[0][1] + m[1][0]) / s,
        q[3] = (m[0][2] + m[2][0]) / s;
    } else if (m[1][1] >= m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q[0] = (m[0][2] - m[2][0]) / s, q[1] = (m[0][1] + m[1][0]) / s, q[2] = s / 4,
        q[3] = (m[1][2] + m[2][1]) / s;
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q[0] = (m[1][0] - m[0][1]) / s, q[1] = (m[0][2] + m[2][0]) / s, q[2] = (m[1][2] + m[2][1]) / s,
        q[3] = s / 4;
    }
    const double sign = q[0] < 0 ? -1 : 1;
    for (int i = 0; i < 4; ++i)
        quaternion[i] = static_cast<float>(sign * q[i]) + 0.0f;
}

} // namespace

bool Is_Node_Type(const char* type) {
    if (type == nullptr || Listed(type, kNotNodes)) return false;
    return std::string_view(type).ends_with("Node") || Listed(type, kUnnamedNodes);
}

std::int32_t Load_from_Memory___NiNode(ByteReader& in, NodeRecord& node, std::uint32_t userVersion2) {
    node.Name = Read_i32(in);
    Read_Links(in, node.ExtraData);
    node.Controller = Read_i32(in);
    node.Flags = userVersion2 > kLastShortFlags ? Read_u32(in) : Read_u16(in);
    for (float& value : node.Translation)
        value = Read_f32(in);
    for (float& value : node.Rotation)
        value = Read_f32(in);
    node.Scale = Read_f32(in);
    node.Properties.Count = 0;
    if (userVersion2 <= kLastProperties) Read_Links(in, node.Properties);
    node.Collision = Read_i32(in);
    Read_Links(in, node.Children);
    node.Effects.Count = 0;
    if (userVersion2 <= kLastEffects) Read_Links(in, node.Effects);
    return in.Fault == nullptr ? 0 : -3;
}

NodeTurn Node_Rotation(const float (&r)[9], float (&quaternion)[4]) {
    Matrix m;
    for (int i = 0; i < 9; ++i)
        m[i / 3][i % 3] = r[i];
    const bool mirror = Determinant(m) < 0;
    if (!mirror && Orthonormal(m)) {
        Quaternion_of(m, quaternion);
        return NodeTurn::Rotation;
    }
    if (!Polar_Factor(m)) return NodeTurn::None;
    // The polar factor of a mirror is a mirror: its negative is the rotation nearest -R.
    for (int i = 0; mirror && i < 9; ++i)
        m[i / 3][i % 3] = -m[i / 3][i % 3];
    Quaternion_of(m, quaternion);
    return mirror ? NodeTurn::Mirror : NodeTurn::NotOrthonormal;
}
