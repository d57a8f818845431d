// Whether a scale suits a mesh: every position as written (the float
// nearest to the scaled one) must stay finite, and a model must not
// shrink to a point.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

enum class ScaleFit {
    fits,
    too_large,  // a written coordinate would not be finite
    too_small,  // every coordinate that is not zero would become zero
};

ScaleFit scale_fit(const CompactMesh& mesh, double scale);

}  // namespace dozu
