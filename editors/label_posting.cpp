#include "editors/label_posting.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/shell_context.h"

namespace mirx::editors {

model::LabelTrunking labelTrunking(const shell::ShellContext& context) {
    switch (context.link.trunkingMode()) {
    case link::TrunkingMode::Rts:
        return model::LabelTrunking::Rts;
    case link::TrunkingMode::Delec:
        return model::LabelTrunking::Delec;
    case link::TrunkingMode::None:
        break;
    }
    return model::LabelTrunking::None;
}

bool postLabel(shell::ShellContext& context, const model::LabelInfo& label) {
    using L = model::LabelInfo;
    const int number = label.get(L::kLabelNumber);
    if (!model::isLabelNumber(number) || !context.link.loggedIn()) {
        return false;
    }
    const auto bytes = label.view();
    if (!context.link.requestQueue().PostCopy(msg::ADMIN_LABEL_UPDATE,
                                              static_cast<std::uint16_t>(number), bytes.data(),
                                              bytes.size())) {
        return false;
    }
    context.mirror.edit([&](model::MirrorData& d) {
        if (L* stored = d.labels.Find(number)) {
            *stored = label;
        }
    });
    context.mirror.flags().labels.raise();
    return true;
}

bool postRequest(shell::ShellContext& context, std::uint16_t id, std::uint16_t second) {
    return context.link.loggedIn() && context.link.requestQueue().PostCopy(id, second, nullptr, 0);
}

} // namespace mirx::editors
