#include "model/edited_client_caption.h"

namespace mirx::model {

std::string editedClientCaption(const LabelTable& labels, int clientIndex) {
    if (clientIndex < 0) {
        return kAllClientsCaption;
    }
    const int number = labels.ClientLabelNumber(clientIndex);
    return labels.LabelTypeName(number, false) + " / " + labels.DisplayName(number) + " / " +
           labels.Description(number);
}

} // namespace mirx::model
