#include "shell/common/view_table.h"

#include "link/server_link.h"
#include "shell/common/window_title.h"

#include <algorithm>

#include <QCoreApplication>

namespace mirx::shell {

const ViewEntry& viewEntry(ViewKey key) {
    return *std::find_if(kViewEntries.begin(), kViewEntries.end(),
                         [key](const ViewEntry& entry) { return entry.key == key; });
}

QString viewCaption(ViewKey key) {
    return QCoreApplication::translate("Views", viewEntry(key).caption);
}

QString viewTitle(ViewKey key, std::string_view profile) {
    switch (viewEntry(key).title) {
    case ViewTitle::ProductAndProfile:
        return windowTitle(viewCaption(key), profile);
    case ViewTitle::Product:
        return windowTitle(viewCaption(key), {});
    case ViewTitle::Caption:
        break;
    }
    return viewCaption(key);
}

QString privilegeNote(ViewPrivilege privilege, const link::ServerLink& link) {
    if (privilege == ViewPrivilege::FullAdministrator && !link.fullAdministrator()) {
        return QCoreApplication::translate(
                   "Views",
                   "Needs full administrator rights (privilege level 1); you are logged in "
                   "with level %1.")
            .arg(link.privilegeLevel());
    }
    return {};
}

bool mayOpen(ViewKey key, const link::ServerLink& link) {
    switch (viewEntry(key).privilege) {
    case ViewPrivilege::Any:
        return true;
    case ViewPrivilege::FullAdministrator:
        return link.fullAdministrator();
    }
    return false;
}

} // namespace mirx::shell
