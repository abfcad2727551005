#pragma once

#include "model/client_options_form.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <filesystem>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mirx::shell {
class RecordFetch;
}

namespace mirx::editors {

// One client's options, or the defaults for every client, in the view the
// client's type asks for. The records are fetched first (defaults, then the
// client's); OK posts the sound files picked for upload, then the record.
class CClientConfigurationOptionsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    // `clientIndex` below 0 edits the defaults.
    CClientConfigurationOptionsDlg(shell::ShellContext& context, int clientIndex,
                                   QWidget* parent = nullptr);

    model::OptionsView optionsView() const { return target_.view(); }
    bool editsDefaults() const { return target_.defaults; }
    // The records arrived and the controls show them.
    bool filled() const { return filled_; }
    // The server's sound file list arrived (SIP view).
    bool soundFilesListed() const { return soundFilesListed_; }

    // Null for a field the view does not show or of another kind.
    QCheckBox* check(model::OptionsField field) const;
    QLineEdit* edit(model::OptionsField field) const;
    QComboBox* combo(model::OptionsField field) const;
    QWidget* control(model::OptionsField field) const {
        return controls_[static_cast<std::size_t>(field)];
    }
    // The "(DEFAULT)" mark beside a field; null for a field without one.
    QLabel* defaultMark(model::OptionsField field) const {
        return marks_[static_cast<std::size_t>(field)];
    }
    // "..." beside a sound combo.
    QPushButton* soundButton(model::OptionsField field) const;
    QLabel* clientLine() const { return clientLine_; }
    QPushButton* compareButton() const { return compare_; }
    QPushButton* okButton() const { return ok_; }

    // What "Compare with Default" lists for the values shown now.
    QString differencesText() const;

private:
    struct PickedSound {
        std::filesystem::path path;
        QString name;
    };

    void buildControls();
    QWidget* makeControl(model::OptionsField field);
    void startFetch();
    void fill();
    void fillSoundFiles();
    model::OptionsForm typed() const;
    void updateEnabling();
    void updateMarks();
    void pickSound(model::OptionsField field);
    void showDifferences();
    void ok();
    // Reads every picked file again; false (after saying why) when one
    // cannot go.
    bool soundUploads(std::vector<model::OutgoingRecord>& posts);

    const int clientIndex_;
    model::OptionsEditTarget target_;
    bool geoMappingServer_ = false;
    bool filled_ = false;
    bool soundFilesListed_ = false;
    // The records as fetched: what the view edits and compares with.
    model::ClientOptions edited_;
    model::ClientOptions defaults_;
    model::ClientOptions sipDefaults_;
    model::OptionsForm shown_;
    std::array<QWidget*, model::kOptionsFieldCount> controls_{};
    std::array<QLabel*, model::kOptionsFieldCount> captions_{};
    std::array<QLabel*, model::kOptionsFieldCount> marks_{};
    QPushButton* ringToneButton_ = nullptr;
    QPushButton* autoAnswerButton_ = nullptr;
    std::optional<PickedSound> ringTonePick_;
    std::optional<PickedSound> autoAnswerPick_;
    QLabel* clientLine_ = nullptr;
    QPushButton* compare_ = nullptr;
    QPushButton* ok_ = nullptr;
    shell::RecordFetch* fetch_ = nullptr;
    QTimer* soundListTimer_ = nullptr;
};

} // namespace mirx::editors
