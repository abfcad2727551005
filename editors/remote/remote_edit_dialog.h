#pragma once

#include "model/remote_edit.h"
#include "shell/common/view_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace mirx::editors {

// "Remote Configuration Edit": the local presentation of one remote label.
class CRemoteConfigurationEditDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CRemoteConfigurationEditDlg(shell::ShellContext& context, int labelNumber,
                                QWidget* parent = nullptr);

    int labelNumber() const { return labelNumber_; }
    QComboBox* typeBox() const { return type_; }
    QLineEdit* descriptionEdit() const { return description_; }
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* externalLongEdit() const { return externalLong_; }
    QLineEdit* externalShortEdit() const { return externalShort_; }
    QCheckBox* latchBox() const { return latch_; }
    QCheckBox* offlineBox() const { return offline_; }
    QCheckBox* localAdminBox() const { return localAdmin_; }
    QCheckBox* localUserBox() const { return localUser_; }
    QPushButton* okButton() const { return ok_; }

private:
    void save();

    int labelNumber_;
    model::RemoteForm original_;
    std::string storedName_;
    QComboBox* type_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* externalLong_ = nullptr;
    QLineEdit* externalShort_ = nullptr;
    QCheckBox* latch_ = nullptr;
    QCheckBox* offline_ = nullptr;
    QCheckBox* localAdmin_ = nullptr;
    QCheckBox* localUser_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::editors
