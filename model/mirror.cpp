#include "model/mirror.h"

namespace mirx::model {

Mirror::Mirror()
    : data_(std::make_unique<MirrorData>()) {}

Mirror::~Mirror() = default;

} // namespace mirx::model
