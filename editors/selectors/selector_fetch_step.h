#pragma once

#include "model/selector_assignments.h"
#include "shell/common/record_fetch.h"

#include <cstdint>
#include <optional>

#include <QString>

namespace mirx::shell {
struct ShellContext;
}

// One selector assignments record asked for as a RecordFetch step. The
// console holds one client record at a time, and a selector report may be
// gathering others meanwhile: the step waits for an answer to its own
// record and copies it the moment it is seen, before another client's
// answer can take its place. An answer that was displaced before it was
// seen is asked for again.

namespace mirx::editors {

// `second`: a client index or the default record's second value. `record`,
// kept by the caller while the fetch runs, is emptied by the request and
// holds the copy once the step is done.
shell::RecordFetch::Step selectorAssignmentsStep(shell::ShellContext& context, QString what,
                                                 std::uint16_t second,
                                                 std::optional<model::SelectorAssignments>& record);

} // namespace mirx::editors
