#pragma once

#include "model/audio_settings_form.h"
#include "model/client_records.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <cstdint>

#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace mirx::shell {
class RecordFetch;
}

namespace mirx::editors {

// "Client Configuration Audio Settings": one client's audio settings record,
// or the default record (client index -1). Fetches the defaults and then the
// client's record, shows each value with its own control and a "(DEFAULT)"
// mark while it equals the default, and posts the whole record on OK.
class CClientConfigurationAudioSettingsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CClientConfigurationAudioSettingsDlg(shell::ShellContext& context, int clientIndex,
                                         QWidget* parent = nullptr);
    ~CClientConfigurationAudioSettingsDlg() override;

    // Whether the records came and the controls show them.
    bool filled() const { return filled_; }
    bool editsDefaults() const { return target_.defaults; }

    QLabel* caption() const { return caption_; }
    QComboBox* codec() const { return codec_; }
    QComboBox* sampleRate() const { return sampleRate_; }
    QComboBox* encryption() const { return encryption_; }
    QSlider* slider(model::AudioSlider which) const { return sliders_[index(which)].slider; }
    QLabel* sliderValue(model::AudioSlider which) const { return sliders_[index(which)].value; }
    QLabel* sliderMark(model::AudioSlider which) const { return sliders_[index(which)].mark; }
    QCheckBox* automaticGainControl() const { return agc_.box; }
    QCheckBox* variableBitRate() const { return vbr_.box; }
    QCheckBox* echoCancellation() const { return echo_.box; }
    QLabel* codecMark() const { return codecMark_; }
    QLabel* sampleRateMark() const { return sampleRateMark_; }
    QLabel* encryptionMark() const { return encryptionMark_; }
    QLabel* automaticGainControlMark() const { return agc_.mark; }
    QLabel* variableBitRateMark() const { return vbr_.mark; }
    QLabel* echoCancellationMark() const { return echo_.mark; }
    QPushButton* compareButton() const { return compare_; }
    QPushButton* okButton() const { return ok_; }
    // The comparison while it is open.
    QDialog* comparison() const { return comparison_.data(); }

    // The record OK would post, from the controls as they stand.
    model::AudioSettings shownRecord() const;
    // "caption: value (default: value)" per field that differs.
    QString comparisonText() const;

    void accept() override;

protected:
    void closing(int result) override;

private:
    struct SliderRow {
        QLabel* caption = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        QLabel* mark = nullptr;
    };
    struct CheckRow {
        QCheckBox* box = nullptr;
        QLabel* mark = nullptr;
    };

    static std::size_t index(model::AudioSlider which) { return static_cast<std::size_t>(which); }

    void buildControls();
    void startFetch();
    void fill();
    void showForm();
    void fillCodecs();
    void fillSampleRates();
    void fillEncryption();
    void showControls();
    void updateLabels();
    QString sliderText(model::AudioSlider which) const;
    void updateMarks();
    void codecChosen(int row);
    void sliderMoved(model::AudioSlider which, int position);
    void showComparison();

    const int clientIndex_;
    model::AudioEditTarget target_;
    std::uint16_t mixRate_ = 0;
    model::AudioSettings defaults_;
    // The record as fetched, with what a new codec resets.
    model::AudioSettings edited_;
    model::AudioForm form_;
    // What the record shows before any control is moved: a slider back at
    // its position shows the record's own value.
    model::AudioForm untouched_;
    bool filled_ = false;
    // Set while the controls are filled from the form, so their signals do
    // not write back.
    bool filling_ = false;

    shell::RecordFetch* fetch_ = nullptr;
    QLabel* caption_ = nullptr;
    QComboBox* codec_ = nullptr;
    QLabel* codecMark_ = nullptr;
    QComboBox* sampleRate_ = nullptr;
    QLabel* sampleRateMark_ = nullptr;
    QComboBox* encryption_ = nullptr;
    QLabel* encryptionMark_ = nullptr;
    std::array<SliderRow, model::kAudioSliders.size()> sliders_{};
    CheckRow agc_;
    CheckRow vbr_;
    CheckRow echo_;
    QPushButton* compare_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPointer<QDialog> comparison_;
};

} // namespace mirx::editors
