// One level of quad subdivision on homogeneous records: every quad splits
// into four around a new face point, every distinct edge gets one edge point,
// and every point is recomputed as a sum of whole records (weights included).
// Nothing is divided here; the division by w happens at display time.
#pragma once

#include <memory>

#include "geometry/stop_flag.h"
#include "mesh/quad_mesh.h"

namespace dozu {

// The working arrays of a subdivision, kept from call to call so that a
// repeated subdivision of one size maps no new memory.
class SubdivisionScratch {
public:
    SubdivisionScratch();
    ~SubdivisionScratch();
    SubdivisionScratch(const SubdivisionScratch&) = delete;
    SubdivisionScratch& operator=(const SubdivisionScratch&) = delete;

    struct Arrays;

private:
    friend void subdivide(const QuadMesh&, QuadMesh&, SubdivisionScratch&, const StopFlag*);
    std::unique_ptr<Arrays> arrays_;
};

// Output numbering: input vertices 0..V-1, face points V..V+Q-1, then edge
// points in the order their edges are first met (quads in order, edges
// (0,1) (1,2) (2,3) (3,0) within a quad). Every index must be below V;
// throws std::out_of_range otherwise, std::length_error when the result
// would not fit 32-bit indices. The input is left as it is, so a failed
// call loses nothing.
std::unique_ptr<QuadMesh> subdivide(const QuadMesh& input);

// The same into output (not the input), whose storage is reused for the
// result, with the working arrays of scratch. Polls stop and throws Stopped
// when it is set; output then holds nothing useful.
void subdivide(const QuadMesh& input, QuadMesh& output, SubdivisionScratch& scratch,
               const StopFlag* stop = nullptr);

}  // namespace dozu
