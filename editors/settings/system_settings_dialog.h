#pragma once

#include "model/system_settings_form.h"
#include "shell/common/view_dialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace mirx::shell {
class ColourSample;
}

namespace mirx::editors {

// The server's system-wide settings and the master administrator's login,
// in the layout of the server's trunking mode. OK sends the credentials,
// then the whole record, after asking when the change restarts or moves the
// server.
class CSystemSettingsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CSystemSettingsDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    model::SettingsLayout layout() const { return layout_; }
    // Null for a field the layout does not show.
    QLineEdit* edit(model::SettingsField field) const {
        return edits_[static_cast<std::size_t>(field)];
    }
    QComboBox* sampleRate() const { return sampleRate_; }
    QSlider* gain() const { return gain_; }
    QLabel* gainLabel() const { return gainLabel_; }
    shell::ColourSample* sample() const { return sample_; }
    QPushButton* textColourButton() const { return textButton_; }
    QPushButton* backgroundColourButton() const { return backgroundButton_; }
    QComboBox* failback() const { return failback_; }
    QLineEdit* failbackTime() const { return failbackTime_; }
    QLineEdit* loginName() const { return loginName_; }
    QLineEdit* password() const { return password_; }
    QCheckBox* disableDomainAuthentication() const { return disableDomain_; }
    QCheckBox* fourCharacterAlphas() const { return fourCharacterAlphas_; }
    QCheckBox* selectorForSelf() const { return selectorForSelf_; }
    // Null in the layout without battery levels.
    QCheckBox* battery(std::size_t bit) const { return battery_[bit]; }
    QPushButton* okButton() const { return okButton_; }

private:
    QWidget* buildPrimary();
    QWidget* buildSecondary();
    QWidget* buildTrunking();
    QWidget* buildTelephone();
    QWidget* buildGeoMapping();
    QWidget* buildBattery(const QString& title, const QString& caption);
    QWidget* buildAudio();
    QWidget* buildVoiceActivity();
    QWidget* buildFailover();
    QWidget* buildLogin();

    QLineEdit* makeEdit(model::SettingsField field);
    void fill(const model::SystemSettingsForm& form);
    model::SystemSettingsForm typed() const;
    void updateGainLabel(int step);
    void updateSample();
    void updateFailbackTime();
    void chooseColour(std::uint32_t& colour);
    void ok();

    const model::SettingsLayout layout_;
    std::array<QLineEdit*, model::kSettingsFieldCount> edits_{};
    QComboBox* sampleRate_ = nullptr;
    QSlider* gain_ = nullptr;
    QLabel* gainLabel_ = nullptr;
    shell::ColourSample* sample_ = nullptr;
    QPushButton* textButton_ = nullptr;
    QPushButton* backgroundButton_ = nullptr;
    QComboBox* failback_ = nullptr;
    QLineEdit* failbackTime_ = nullptr;
    QLineEdit* loginName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* disableDomain_ = nullptr;
    QCheckBox* fourCharacterAlphas_ = nullptr;
    QCheckBox* selectorForSelf_ = nullptr;
    std::array<QCheckBox*, 6> battery_{};
    QPushButton* okButton_ = nullptr;
    std::uint32_t textColour_ = 0;
    std::uint32_t backgroundColour_ = 0;
};

} // namespace mirx::editors
