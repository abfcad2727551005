#pragma once

#include "model/group_edit.h"
#include "shell/common/view_dialog.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mirx::editors {

// "Group Configuration Add/Edit": one group's label. Adding creates the
// label at the first free index of the chosen kind; both post the whole
// label and close.
class CGroupConfigurationEditDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    // `labelNumber` -1 adds a group.
    CGroupConfigurationEditDlg(shell::ShellContext& context, int labelNumber,
                               QWidget* parent = nullptr);

    // The edited group; after an accepted add, the new one.
    int labelNumber() const { return labelNumber_; }

    QComboBox* typeBox() const { return type_; }
    QLineEdit* descriptionEdit() const { return description_; }
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* externalLongEdit() const { return externalLong_; }
    QLineEdit* externalShortEdit() const { return externalShort_; }
    QCheckBox* latchBox() const { return latch_; }
    QCheckBox* restrictionBox(int bit) const {
        return restrictions_[static_cast<std::size_t>(bit)];
    }
    QPushButton* textColourButton() const { return textColour_; }
    QPushButton* backgroundColourButton() const { return backgroundColour_; }
    QLabel* sample() const { return sample_; }
    QPushButton* okButton() const { return ok_; }

    // What the colour pickers set.
    void setColours(std::uint32_t text, std::uint32_t background);

private:
    void pickColour(bool text);
    void paintSample();
    void save();
    model::GroupForm typedForm() const;

    int labelNumber_;
    model::GroupForm original_;
    std::uint32_t textColourValue_ = 0;
    std::uint32_t backgroundColourValue_ = 0;
    QComboBox* type_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* externalLong_ = nullptr;
    QLineEdit* externalShort_ = nullptr;
    QCheckBox* latch_ = nullptr;
    std::array<QCheckBox*, 4> restrictions_{};
    QPushButton* textColour_ = nullptr;
    QPushButton* backgroundColour_ = nullptr;
    QLabel* sample_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::editors
