#pragma once

#include "model/selector_edit.h"
#include "shell/common/view_dialog.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace mirx::editors {

// "Selector Hot Key": picks the key and its Alt, Ctrl and Shift modifiers
// for one selector; the caller reads choice() once it is accepted.
class CHotKeySelectionDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CHotKeySelectionDlg(shell::ShellContext& context, const model::HotKeyChoice& start,
                        QWidget* parent = nullptr);

    model::HotKeyChoice choice() const;

    QComboBox* keyBox() const { return key_; }
    QCheckBox* altBox() const { return alt_; }
    QCheckBox* ctrlBox() const { return ctrl_; }
    QCheckBox* shiftBox() const { return shift_; }
    QPushButton* clearButton() const { return clear_; }

private:
    void clear();

    QComboBox* key_ = nullptr;
    QCheckBox* alt_ = nullptr;
    QCheckBox* ctrl_ = nullptr;
    QCheckBox* shift_ = nullptr;
    QPushButton* clear_ = nullptr;
    // A received code the key table lacks, kept until a key is chosen.
    std::uint8_t unlisted_ = 0;
};

} // namespace mirx::editors
