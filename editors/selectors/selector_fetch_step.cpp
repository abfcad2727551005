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
    // Answers for this record stored before the request now waited for;
    // nothing until asked (the fetch looks once before its request).
    auto before = std::make_shared<std::optional<std::uint32_t>>();
    const auto ask = [&context, second, before] {
        *before = context.mirror.clientFlags().SelectorAssignmentsAnswers(second);
        return postRequest(context, msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, second);
    };
    return {std::move(what),
            [ask, &record] {
                record.reset();
                return ask();
            },
            [ask, &context, second, before, &record] {
                if (!*before ||
                    context.mirror.clientFlags().SelectorAssignmentsAnswers(second) == **before) {
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
