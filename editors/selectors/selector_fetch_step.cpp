#include "editors/selectors/selector_fetch_step.h"

#include "core/message_ids.h"
#include "editors/label_posting.h"
#include "model/mirror.h"
#include "shell/common/shell_context.h"

#include <memory>
#include <utility>

namespace mirx::editors {

shell::RecordFetch::Step
selectorAssignmentsStep(shell::ShellContext& context, QString what, std::uint16_t second,
                        std::optional<model::SelectorAssignments>& record) {
    // Shared by the step's two functions; the fetch looks once before its
    // request, and the wait counts nothing until asked.
    auto wait = std::make_shared<model::SelectorAnswerWait>(second);
    const auto ask = [&context, second, wait] {
        wait->asking(context.mirror.clientFlags());
        return postRequest(context, msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, second);
    };
    return {std::move(what),
            [ask, &record] {
                record.reset();
                return ask();
            },
            [ask, &context, second, wait, &record] {
                if (!wait->answered(context.mirror.clientFlags())) {
                    return false;
                }
                record = context.mirror.read([second](const model::MirrorData& d) {
                    return d.clients.selectorAssignmentsFor(second);
                });
                if (!record) {
                    ask();
                }
                return record.has_value();
            }};
}

} // namespace mirx::editors
