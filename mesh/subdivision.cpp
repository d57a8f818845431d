#include "mesh/subdivision.h"

#include "mesh/prefault.h"
#include "mesh/scratch_array.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

namespace dozu {

namespace {

constexpr int R = QuadMesh::kRecordFloats;
constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
// Loops poll the stop flag once per this many steps, and one more.
constexpr size_t kPollMask = 0x3FFF;

struct Entry {
    uint32_t a, b;
};

// Empties v and makes room for n elements; new storage is mapped in at once.
template <typename Vector>
void reserve_prefaulted(Vector& v, size_t n) {
    v.clear();
    if (v.capacity() >= n) return;
    v.reserve(n);
    prefault(v.data(), v.capacity() * sizeof(v[0]));
}

}  // namespace

struct SubdivisionScratch::Arrays {
    ScratchArray<uint32_t> edge;         // per slot
    ScratchArray<uint32_t> start;        // per vertex, and one more
    ScratchArray<uint32_t> per_vertex;   // list heads; counts, then stamps
    ScratchArray<uint32_t> per_vertex2;  // first slots
    ScratchArray<Entry> entries;         // list nodes or bucketed slots
    ScratchArray<float> edge_sums;
    ScratchArray<uint64_t> sums_written, records_written;
};

namespace {

// A record held in registers while it takes several additions, so that it
// is read and written once. The sums are formed float by float in the same
// order as additions into memory would be, which keeps every bit.
struct Record {
    float f[R];
};

inline Record load(const float* p) {
    Record r;
    std::memcpy(r.f, p, sizeof r.f);
    return r;
}

inline void store(float* p, const Record& r) { std::memcpy(p, r.f, sizeof r.f); }

// Records start at zero: the first addition into one starts from a zero in
// registers, so that its memory need not be cleared beforehand. A bit per
// record tells which have been written.
class Written {
public:
    Written(ScratchArray<uint64_t>& bits, size_t count) : bits_(bits.take((count + 63) / 64)) {
        std::fill_n(bits_, (count + 63) / 64, uint64_t(0));
    }
    // The record at p (number i) as it stands, and marks it written.
    Record start(const float* p, size_t i) {
        uint64_t& word = bits_[i >> 6];
        const uint64_t bit = uint64_t(1) << (i & 63);
        const bool fresh = !(word & bit);
        word |= bit;
        return fresh ? Record{} : load(p);
    }
    bool written(size_t i) const { return bits_[i >> 6] >> (i & 63) & 1; }

private:
    uint64_t* bits_;
};

inline void add(Record& r, const float* s) {
    for (int i = 0; i < R; ++i) r.f[i] += s[i];
}

inline void add(Record& r, const Record& s) { add(r, s.f); }

// Adds the records a, b, c to the record at t (number i), in this order.
inline void add3(Written& w, float* t, size_t i, const float* a, const float* b, const float* c) {
    Record r = w.start(t, i);
    add(r, a);
    add(r, b);
    add(r, c);
    store(t, r);
}

// Two rounds of add3 on one target, held in registers between them.
inline void add6(Written& w, float* t, size_t i, const float* a, const float* b, const float* c, const float* d,
                 const float* e, const float* f) {
    Record r = w.start(t, i);
    add(r, a);
    add(r, b);
    add(r, c);
    add(r, d);
    add(r, e);
    add(r, f);
    store(t, r);
}

// Gives every quad edge slot (4q + k, the edge from corner k to corner k+1
// of quad q) its edge point index, for any vertex degrees: edges are grouped
// by their lower vertex in one counting pass, so time and memory stay linear
// in the mesh size; a vertex stamp finds repeats of an edge within a group.
// The first slot of each edge, in slot order, numbers it.
void number_by_groups(std::span<const uint32_t> idx, uint32_t V, uint32_t first_index,
                      SubdivisionScratch::Arrays& s, uint32_t& next_index, const StopFlag* stop) {
    const size_t slots = idx.size();
    auto corner = [&](size_t i, int step) { return idx[(i & ~size_t(3)) | ((i + step) & 3)]; };

    uint32_t* start = s.start.take(size_t(V) + 1);
    std::fill_n(start, size_t(V) + 1, 0u);
    for (size_t i = 0; i < slots; ++i) {
        if ((i & kPollMask) == 0) check_stop(stop);
        const uint32_t a = idx[i], b = corner(i, 1);
        if (a >= V) throw std::out_of_range("subdivide: quad names a missing vertex");
        ++start[(a < b ? a : b) + 1];
    }
    for (uint32_t v = 0; v < V; ++v) start[v + 1] += start[v];

    Entry* bucket = s.entries.take(slots);
    {
        uint32_t* fill = s.per_vertex.take(V);
        std::copy_n(start, V, fill);
        for (size_t i = 0; i < slots; ++i) {
            if ((i & kPollMask) == 0) check_stop(stop);
            const uint32_t a = idx[i], b = corner(i, 1);
            const uint32_t lo = a < b ? a : b, hi = a < b ? b : a;
            bucket[fill[lo]++] = {hi, uint32_t(i)};
        }
    }

    // edge[i] first holds the first slot of its edge, then its point index.
    uint32_t* edge = s.edge.take(slots);
    {
        uint32_t* stamp = s.per_vertex.take(V);
        std::fill_n(stamp, V, std::numeric_limits<uint32_t>::max());
        uint32_t* first_slot = s.per_vertex2.take(V);
        for (uint32_t lo = 0; lo < V; ++lo) {
            if ((lo & kPollMask) == 0) check_stop(stop);
            for (uint32_t e = start[lo]; e < start[lo + 1]; ++e) {
                const Entry& en = bucket[e];
                if (stamp[en.a] != lo) {
                    stamp[en.a] = lo;
                    first_slot[en.a] = en.b;
                }
                edge[en.b] = first_slot[en.a];
            }
        }
    }
    next_index = first_index;
    for (size_t i = 0; i < slots; ++i) edge[i] = edge[i] == i ? next_index++ : edge[edge[i]];
}

// The usual way to the same numbers, in one pass over the slots in order:
// every vertex heads a list of the edges whose lower end it is, and a slot
// walks its lower end's list. A list is as long as that vertex's number of
// higher neighbours, so a list that grows past kMaxWalk gives up (false)
// before the walks could make the time quadratic.
bool number_by_lists(std::span<const uint32_t> idx, uint32_t V, uint32_t first_index,
                     SubdivisionScratch::Arrays& s, uint32_t& next_index, const StopFlag* stop) {
    constexpr uint32_t kMaxWalk = 64;
    uint32_t* head = s.per_vertex.take(V);
    std::fill_n(head, V, kNone);
    Entry* nodes = s.entries.take(idx.size());  // a: higher end, b: next node
    uint32_t count = 0;
    uint32_t* edge = s.edge.take(idx.size());
    for (size_t i = 0; i < idx.size(); ++i) {
        if ((i & kPollMask) == 0) check_stop(stop);
        const uint32_t a = idx[i], b = idx[(i & ~size_t(3)) | ((i + 1) & 3)];
        if (a >= V) throw std::out_of_range("subdivide: quad names a missing vertex");
        const uint32_t lo = std::min(a, b), hi = std::max(a, b);
        uint32_t n = head[lo];
        for (uint32_t walked = 0; n != kNone && nodes[n].a != hi; n = nodes[n].b)
            if (++walked > kMaxWalk) return false;
        if (n == kNone) {
            n = count++;
            nodes[n] = {hi, head[lo]};
            head[lo] = n;
        }
        edge[i] = first_index + n;
    }
    next_index = first_index + count;
    return true;
}

}  // namespace

SubdivisionScratch::SubdivisionScratch() : arrays_(std::make_unique<Arrays>()) {}
SubdivisionScratch::~SubdivisionScratch() = default;

std::unique_ptr<QuadMesh> subdivide(const QuadMesh& input) {
    auto out = std::make_unique<QuadMesh>();
    SubdivisionScratch scratch;
    subdivide(input, *out, scratch);
    return out;
}

void subdivide(const QuadMesh& input, QuadMesh& output, SubdivisionScratch& scratch, const StopFlag* stop) {
    SubdivisionScratch::Arrays& s = *scratch.arrays_;
    QuadMesh* out = &output;
    const uint32_t V = input.vertex_count();
    const size_t slots = input.indices.size() & ~size_t(3);
    const uint64_t Q = slots / 4;
    // N <= V + Q + 4Q, all of it a 32-bit index.
    if (uint64_t(V) + 5 * Q > std::numeric_limits<uint32_t>::max())
        throw std::length_error("subdivide: mesh too large for 32-bit indices");
    // Whole quads only.
    const std::span<const uint32_t> quads(input.indices.data(), slots);

    uint32_t N = 0;
    const uint32_t first_edge = V + uint32_t(Q);
    if (!number_by_lists(quads, V, first_edge, s, N, stop)) number_by_groups(quads, V, first_edge, s, N, stop);
    const uint32_t* edge = s.edge.data();
    const uint32_t* idx = input.indices.data();
    const float* in = input.vertices.data();
    const size_t edge_floats = size_t(N - first_edge) * R;
    float* edge_sums = s.edge_sums.take(edge_floats);
    Written sums_written(s.sums_written, N - first_edge);
    auto edge_sum = [&](uint32_t point) { return edge_sums + size_t(point - first_edge) * R; };
    // Within a quad whose four edges differ, each edge point's additions
    // from that quad can be gathered into one read and write of its record;
    // a quad with a repeated edge keeps the plain order.
    auto edges_differ = [](const uint32_t p[4]) {
        return p[0] != p[1] && p[0] != p[2] && p[0] != p[3] && p[1] != p[2] && p[1] != p[3] && p[2] != p[3];
    };

    // Topology: quad 4q+k is (u_k, E(u_k,u_k+1), F_q, E(u_k-1,u_k)).
    // With it the first pass: quad 4q+k adds u_k to E(u_k,u_k+1), then to
    // E(u_k-1,u_k), output quads in order, into sums that start at zero and
    // have an array of their own. A face point's sum u0+u1+u2+u3 concerns
    // its own quad alone and is formed where it is needed.
    out->display_ready = false;
    reserve_prefaulted(out->indices, 16 * Q);
    for (uint64_t q = 0; q < Q; ++q) {
        if ((q & kPollMask) == 0) check_stop(stop);
        const uint32_t* c = idx + 4 * q;
        const uint32_t* p = edge + 4 * q;
        const uint32_t f = V + uint32_t(q);
        const uint32_t quads[16] = {c[0], p[0], f, p[3], c[1], p[1], f, p[0],
                                    c[2], p[2], f, p[1], c[3], p[3], f, p[2]};
        out->indices.insert(out->indices.end(), quads, quads + 16);

        const float* u[4];
        float* e[4];
        for (int k = 0; k < 4; ++k) {
            u[k] = in + size_t(c[k]) * R;
            e[k] = edge_sum(p[k]);
        }
        if (edges_differ(p)) {
            // E(u3,u0) gets u0 from quad 4q+0 before u3 from quad 4q+3.
            for (int k = 0; k < 3; ++k) {
                Record r = sums_written.start(e[k], p[k] - first_edge);
                add(r, u[k]);
                add(r, u[k + 1]);
                store(e[k], r);
            }
            Record r = sums_written.start(e[3], p[3] - first_edge);
            add(r, u[0]);
            add(r, u[3]);
            store(e[3], r);
        } else {
            for (int k = 0; k < 4; ++k) {
                const int km = (k + 3) & 3;
                Record r = sums_written.start(e[k], p[k] - first_edge);
                add(r, u[k]);
                store(e[k], r);
                r = sums_written.start(e[km], p[km] - first_edge);
                add(r, u[k]);
                store(e[km], r);
            }
        }
    }

    // Second pass: each corner of each output quad receives its preceding
    // corner, itself and its opposite corner (first-pass sums), output quads
    // in order and corners in order, into records that start at zero. Only
    // the order of the additions into each one record matters.
    reserve_prefaulted(out->vertices, size_t(N) * R);
    out->vertices.resize(size_t(N) * R);
    float* t = out->vertices.data();
    Written written(s.records_written, N);
    for (uint64_t q = 0; q < Q; ++q) {
        if ((q & kPollMask) == 0) check_stop(stop);
        const uint32_t* c = idx + 4 * q;
        const uint32_t* p = edge + 4 * q;
        const float* u[4];
        const float* e[4];
        Record face{};
        for (int k = 0; k < 4; ++k) {
            u[k] = in + size_t(c[k]) * R;
            e[k] = edge_sum(p[k]);
            add(face, u[k]);
        }
        const float* f = face.f;
        Record face_out{};
        for (int k = 0; k < 4; ++k) {
            const int km = (k + 3) & 3;
            add3(written, t + size_t(c[k]) * R, c[k], e[km], u[k], f);
            add(face_out, e[k]);
            add(face_out, face);
            add(face_out, u[k]);
        }
        store(t + size_t(V + q) * R, face_out);
        if (edges_differ(p)) {
            // E(u_k,u_k+1) is corner 1 of quad 4q+k and corner 3 of quad
            // 4q+k+1; for k = 3 the latter is quad 4q+0, which comes first.
            for (int k = 0; k < 3; ++k)
                add6(written, t + size_t(p[k]) * R, p[k], u[k], e[k], e[(k + 3) & 3], f, e[k], e[k + 1]);
            add6(written, t + size_t(p[3]) * R, p[3], f, e[3], e[0], u[3], e[3], e[2]);
        } else {
            for (int k = 0; k < 4; ++k) {
                const int km = (k + 3) & 3;
                add3(written, t + size_t(p[k]) * R, p[k], u[k], e[k], e[km]);
                add3(written, t + size_t(p[km]) * R, p[km], f, e[km], e[k]);
            }
        }
    }
    // A vertex that no quad names keeps the weight 0 of an empty sum.
    for (uint32_t v = 0; v < V; ++v)
        if (!written.written(v)) std::fill_n(t + size_t(v) * R, R, 0.0f);
}

}  // namespace dozu
