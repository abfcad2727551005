#include "editors/audio/audio_settings_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/client_store.h"
#include "model/edited_client_caption.h"
#include "model/mirror.h"
#include "model/system_settings.h"
#include "shell/common/accessible_names.h"
#include "shell/common/mnemonics.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/scrolled_content.h"
#include "shell/common/shell_context.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using model::AudioSlider;
using A = model::AudioSettings;

constexpr const char* kDefaultMark =
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationAudioSettingsDlg", "(DEFAULT)");
// Wide enough for the longest value label ("Automatic", "-36 dB").
constexpr int kValueLabelChars = 10;
// Room for the steps of the longest slider (32 positions) to be told apart.
constexpr int kSliderChars = 12;
constexpr std::uint16_t kDefaultSecondValue = 0xFFFF;

// Where each slider sits: the packet timing on the left, levels and
// processing on the right; the rows a codec or /Debug may hide go last so
// hidden rows leave no gap between shown ones. Check boxes come before the
// slider they switch.
constexpr std::array kLeftSliders{AudioSlider::JitterBuffer,       AudioSlider::ResequencerDepth,
                                  AudioSlider::SilenceSuppression, AudioSlider::EncodeQuality,
                                  AudioSlider::EncodeComplexity,   AudioSlider::TimeSlice,
                                  AudioSlider::CaptureBuffer};
constexpr std::array kRightSliders{AudioSlider::InputGain, AudioSlider::OutputGain,
                                   AudioSlider::SpeakerDim};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void fillCombo(QComboBox& combo, const std::vector<model::ChoiceEntry>& entries, int selected) {
    combo.clear();
    for (const model::ChoiceEntry& entry : entries) {
        combo.addItem(qs(entry.text), entry.value);
    }
    combo.setCurrentIndex(combo.findData(selected));
}

} // namespace

CClientConfigurationAudioSettingsDlg::CClientConfigurationAudioSettingsDlg(
    shell::ShellContext& context, int clientIndex, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientAudioSettings, parent)
    , clientIndex_(clientIndex) {
    target_.defaults = clientIndex_ < 0;
    target_.debug = context.debugControls;
    if (!target_.defaults) {
        target_.clientType = context.mirror.read([this](const model::MirrorData& d) {
            const model::LabelInfo* label = d.labels.Find(d.labels.ClientLabelNumber(clientIndex_));
            return label == nullptr ? 0 : int{label->get(model::LabelInfo::kClientType)};
        });
    }
    mixRate_ = context.link.systemSettings().get(model::SystemSettings::kSampleRate);
    buildControls();
    restorePosition();
    startFetch();
}

CClientConfigurationAudioSettingsDlg::~CClientConfigurationAudioSettingsDlg() = default;

void CClientConfigurationAudioSettingsDlg::buildControls() {
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    const auto newMark = [content] {
        auto* mark = new QLabel(tr(kDefaultMark), content);
        mark->setVisible(false);
        return mark;
    };
    const auto addCombo = [&](int row, const QString& text, QComboBox*& combo, QLabel*& mark) {
        combo = new QComboBox(content);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        auto* label = new QLabel(text, content);
        label->setBuddy(combo);
        mark = newMark();
        grid->addWidget(label, row, 0);
        grid->addWidget(combo, row, 1, 1, 5);
        grid->addWidget(mark, row, 6);
    };
    const auto addSlider = [&](int row, int column, AudioSlider which) {
        SliderRow& r = sliders_[index(which)];
        r.slider = new QSlider(Qt::Horizontal, content);
        r.slider->setRange(0, model::sliderMaximum(which));
        r.slider->setPageStep(1);
        r.slider->setTickPosition(QSlider::TicksBelow);
        r.slider->setTickInterval(1);
        r.slider->setMinimumWidth(r.slider->fontMetrics().averageCharWidth() * kSliderChars);
        r.caption = new QLabel(qs(model::sliderCaption(which)), content);
        r.caption->setBuddy(r.slider);
        r.value = new QLabel(content);
        r.value->setMinimumWidth(r.value->fontMetrics().averageCharWidth() * kValueLabelChars);
        r.mark = newMark();
        grid->addWidget(r.caption, row, column);
        grid->addWidget(r.slider, row, column + 1);
        grid->addWidget(r.value, row, column + 2);
        grid->addWidget(r.mark, row, column + 3);
        connect(r.slider, &QSlider::valueChanged, this,
                [this, which](int position) { sliderMoved(which, position); });
    };
    const auto addCheck = [&](int row, int column, const QString& text, CheckRow& check) {
        check.box = new QCheckBox(text, content);
        check.mark = newMark();
        grid->addWidget(check.box, row, column, 1, 3);
        grid->addWidget(check.mark, row, column + 3);
    };

    int row = 0;
    addCombo(row++, tr("Audio Encoder/Decoder"), codec_, codecMark_);
    addCombo(row++, tr("Audio Encode Sample Rate"), sampleRate_, sampleRateMark_);
    addCombo(row++, tr("Audio Encryption"), encryption_, encryptionMark_);
    const int first = row;
    for (const AudioSlider which : kLeftSliders) {
        addSlider(row++, 0, which);
        if (which == AudioSlider::EncodeComplexity) {
            addCheck(row++, 0, tr("Variable Bit Rate"), vbr_);
        }
    }
    row = first;
    for (const AudioSlider which : kRightSliders) {
        addSlider(row++, 4, which);
    }
    addCheck(row++, 4, tr("Automatic Gain Control"), agc_);
    addSlider(row++, 4, AudioSlider::AgcLevel);
    addCheck(row++, 4, tr("Echo Cancellation"), echo_);
    addSlider(row++, 4, AudioSlider::EchoTail);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 1);
    grid->setColumnMinimumWidth(3, grid->horizontalSpacing() * 3);

    connect(codec_, &QComboBox::currentIndexChanged, this,
            &CClientConfigurationAudioSettingsDlg::codecChosen);
    connect(sampleRate_, &QComboBox::currentIndexChanged, this, [this](int at) {
        if (!filling_ && at >= 0) {
            form_.sampleRate = sampleRate_->itemData(at).toInt();
            updateMarks();
        }
    });
    connect(encryption_, &QComboBox::currentIndexChanged, this, [this](int at) {
        if (!filling_ && at >= 0) {
            form_.encryption = encryption_->itemData(at).toInt();
            updateMarks();
        }
    });
    const auto connectCheck = [this](CheckRow& check, bool model::AudioForm::*field) {
        connect(check.box, &QCheckBox::toggled, this, [this, field](bool on) {
            if (!filling_) {
                form_.*field = on;
                updateMarks();
            }
        });
    };
    connectCheck(agc_, &model::AudioForm::automaticGainControl);
    connectCheck(vbr_, &model::AudioForm::variableBitRate);
    connectCheck(echo_, &model::AudioForm::echoCancellation);

    auto* selected = new QGroupBox(tr("Selected Client"), this);
    auto* selectedLayout = new QVBoxLayout(selected);
    caption_ = new QLabel(selected);
    caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    selectedLayout->addWidget(caption_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);
    compare_ = buttons->addButton(tr("Compare with Default"), QDialogButtonBox::ActionRole);
    compare_->setAutoDefault(false);
    compare_->setEnabled(false);
    compare_->setVisible(!target_.defaults);
    connect(compare_, &QPushButton::clicked, this,
            &CClientConfigurationAudioSettingsDlg::showComparison);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!context().link.fullAdministrator()) {
        ok_->setToolTip(
            shell::privilegeNote(shell::ViewPrivilege::FullAdministrator, context().link));
    }

    content->setEnabled(false);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(selected);
    outer->addWidget(shell::scrolledContent(content), 1);
    outer->addWidget(buttons);
    shell::sizeToContent(*this, *content);
}

void CClientConfigurationAudioSettingsDlg::startFetch() {
    fetch_ = new shell::RecordFetch(this);
    CMessageQueue& queue = context().link.requestQueue();
    model::ClientStore& flags = context().mirror.clientFlags();
    const auto request = [&queue](std::uint16_t index) {
        return [&queue, index] {
            return queue.PostCopy(msg::ADMIN_AUDIO_SETTINGS_REQUEST, index, nullptr, 0);
        };
    };
    const auto arrived = [&flags] {
        return flags.TakeAudioReceived();
    };
    std::vector<shell::RecordFetch::Step> steps{
        {tr("the default audio settings"), request(kDefaultSecondValue), arrived}};
    if (!target_.defaults) {
        steps.push_back({tr("the client's audio settings"),
                         request(static_cast<std::uint16_t>(clientIndex_)), arrived});
    }
    fetch_->setSteps(std::move(steps));
    connect(fetch_, &shell::RecordFetch::failed, this,
            &CClientConfigurationAudioSettingsDlg::giveUp);
    connect(fetch_, &shell::RecordFetch::ready, this, &CClientConfigurationAudioSettingsDlg::fill);
    fetch_->start();
}

void CClientConfigurationAudioSettingsDlg::closing(int result) {
    Q_UNUSED(result)
    // A closed view must not take an arrival flag another view waits for.
    fetch_->cancel();
}

void CClientConfigurationAudioSettingsDlg::fill() {
    struct Fetched {
        std::optional<A> defaults;
        std::optional<A> record;
        std::string caption;
    };
    const Fetched fetched = context().mirror.read([this](const model::MirrorData& d) {
        return Fetched{
            d.clients.audio(model::kDefaultAudioSettingsIndex),
            d.clients.audio(target_.defaults ? model::kDefaultAudioSettingsIndex : clientIndex_),
            model::editedClientCaption(d.labels, clientIndex_)};
    });
    if (!fetched.defaults || !fetched.record) {
        giveUp(
            tr("The audio settings of client %1 are not held by the console.").arg(clientIndex_));
        return;
    }
    defaults_ = *fetched.defaults;
    edited_ = *fetched.record;
    caption_->setText(qs(fetched.caption));
    form_ = model::showAudioSettings(edited_, target_, mixRate_);
    untouched_ = form_;
    filled_ = true;
    showForm();
    if (QWidget* content = codec_->parentWidget()) {
        content->setEnabled(true);
    }
    ok_->setEnabled(context().link.fullAdministrator());
    compare_->setEnabled(true);
    codec_->setFocus();
}

void CClientConfigurationAudioSettingsDlg::showForm() {
    filling_ = true;
    fillCodecs();
    fillSampleRates();
    fillEncryption();
    for (const AudioSlider which : model::kAudioSliders) {
        sliders_[index(which)].slider->setValue(form_.position(which));
    }
    agc_.box->setChecked(form_.automaticGainControl);
    vbr_.box->setChecked(form_.variableBitRate);
    echo_.box->setChecked(form_.echoCancellation);
    filling_ = false;
    showControls();
    updateLabels();
    updateMarks();
}

void CClientConfigurationAudioSettingsDlg::fillCodecs() {
    const auto entries = model::codecEntries(target_, form_.codec);
    fillCombo(*codec_, entries, form_.codec);
    codec_->setEnabled(entries.size() > 1);
}

void CClientConfigurationAudioSettingsDlg::fillSampleRates() {
    const auto entries =
        model::audioSampleRateEntries(form_.codec, mixRate_, edited_.get(A::kSampleRate));
    fillCombo(*sampleRate_, entries, form_.sampleRate);
}

void CClientConfigurationAudioSettingsDlg::fillEncryption() {
    encryption_->clear();
    for (std::size_t i = 0; i < model::kEncryptionEntries.size(); ++i) {
        encryption_->addItem(qs(model::kEncryptionEntries[i]), static_cast<int>(i));
    }
    if (encryption_->findData(form_.encryption) < 0) {
        encryption_->addItem(qs(model::unknownEntryText(form_.encryption)), form_.encryption);
    }
    encryption_->setCurrentIndex(encryption_->findData(form_.encryption));
    encryption_->setEnabled(model::encryptionEnabled(target_));
}

void CClientConfigurationAudioSettingsDlg::showControls() {
    for (const AudioSlider which : model::kAudioSliders) {
        const bool shown = model::sliderShown(which, form_.codec, target_.debug);
        const SliderRow& r = sliders_[index(which)];
        for (QWidget* w : {static_cast<QWidget*>(r.caption), static_cast<QWidget*>(r.slider),
                           static_cast<QWidget*>(r.value)}) {
            w->setVisible(shown);
        }
        if (!shown) {
            r.mark->setVisible(false);
        }
    }
    vbr_.box->setVisible(model::variableBitRateShown(form_.codec));
    const bool echo = model::echoCancellationEnabled(target_);
    echo_.box->setEnabled(echo);
    sliders_[index(AudioSlider::EchoTail)].slider->setEnabled(echo);
    sliders_[index(AudioSlider::EchoTail)].caption->setEnabled(echo);
}

QString CClientConfigurationAudioSettingsDlg::sliderText(AudioSlider which) const {
    if (which == AudioSlider::EchoTail && !model::echoCancellationEnabled(target_)) {
        return {};
    }
    const int position = form_.position(which);
    if (position == untouched_.position(which)) {
        return qs(model::recordValueLabel(edited_, which));
    }
    return qs(model::sliderLabel(which, position, model::codecUnitMs(form_.codec)));
}

void CClientConfigurationAudioSettingsDlg::updateLabels() {
    for (const AudioSlider which : model::kAudioSliders) {
        sliders_[index(which)].value->setText(sliderText(which));
    }
}

void CClientConfigurationAudioSettingsDlg::updateMarks() {
    const model::AudioMarks marks = model::audioDefaultMarks(form_, defaults_, target_);
    // Screen readers hear the mark with the control it sits beside.
    const auto mark = [](QWidget* control, QLabel* label, bool on) {
        label->setVisible(on);
        control->setAccessibleDescription(on ? label->text() : QString());
    };
    mark(codec_, codecMark_, marks.codec);
    mark(sampleRate_, sampleRateMark_, marks.sampleRate);
    mark(encryption_, encryptionMark_, marks.encryption);
    for (const AudioSlider which : model::kAudioSliders) {
        // A disabled tail shows no value, so it claims no default either.
        const bool on = marks.slider(which) &&
                        (which != AudioSlider::EchoTail || model::echoCancellationEnabled(target_));
        mark(sliders_[index(which)].slider, sliders_[index(which)].mark, on);
    }
    mark(agc_.box, agc_.mark, marks.automaticGainControl);
    mark(vbr_.box, vbr_.mark, marks.variableBitRate);
    mark(echo_.box, echo_.mark, marks.echoCancellation);
}

void CClientConfigurationAudioSettingsDlg::codecChosen(int row) {
    if (filling_ || row < 0) {
        return;
    }
    const int code = codec_->itemData(row).toInt();
    if (code == form_.codec) {
        return;
    }
    model::changeCodec(edited_, form_, code, target_, mixRate_);
    untouched_ = model::showAudioSettings(edited_, target_, mixRate_);
    filling_ = true;
    fillSampleRates();
    for (const AudioSlider which :
         {AudioSlider::CaptureBuffer, AudioSlider::TimeSlice, AudioSlider::JitterBuffer}) {
        sliders_[index(which)].slider->setValue(form_.position(which));
    }
    filling_ = false;
    showControls();
    updateLabels();
    updateMarks();
}

void CClientConfigurationAudioSettingsDlg::sliderMoved(AudioSlider which, int position) {
    if (filling_) {
        return;
    }
    form_.position(which) = position;
    sliders_[index(which)].value->setText(sliderText(which));
    updateMarks();
}

model::AudioSettings CClientConfigurationAudioSettingsDlg::shownRecord() const {
    return model::writeAudioSettings(form_, edited_, target_, mixRate_);
}

QString CClientConfigurationAudioSettingsDlg::comparisonText() const {
    const auto differences = model::audioDifferences(shownRecord(), defaults_, target_);
    if (differences.empty()) {
        return tr("Every audio setting of this client equals the default.");
    }
    return qs(model::differencesText(differences));
}

void CClientConfigurationAudioSettingsDlg::showComparison() {
    if (!filled_ || target_.defaults) {
        return;
    }
    if (comparison_ != nullptr) {
        comparison_->close();
    }
    auto* view = new QDialog(this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle(tr("Compare with Default"));
    auto* text = new QPlainTextEdit(view);
    text->setReadOnly(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setPlainText(caption_->text() + QLatin1Char('\n') + comparisonText());
    text->setAccessibleName(tr("Differences from the default"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, view);
    auto* copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, text,
            [text] { QApplication::clipboard()->setText(text->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, view, &QDialog::reject);
    auto* layout = new QVBoxLayout(view);
    layout->addWidget(text);
    layout->addWidget(buttons);
    shell::assignMnemonics(*view);
    shell::nameControls(*view);
    view->resize(view->sizeHint().expandedTo(QSize(480, 240)));
    comparison_ = view;
    view->open();
}

void CClientConfigurationAudioSettingsDlg::accept() {
    if (!filled_ || !context().link.fullAdministrator()) {
        return;
    }
    shell::ShellContext& ctx = context();
    const A record = shownRecord();
    bool applyToPrior = false;
    if (target_.defaults) {
        applyToPrior = ctx.prompter.ask(this, windowTitle(), tr(model::kApplyDefaultsQuestion));
    }
    const int index = target_.defaults ? model::kDefaultAudioSettingsIndex : clientIndex_;
    struct Saved {
        std::optional<A> prior;
        std::optional<model::OutgoingRecord> post;
    };
    const Saved saved = ctx.mirror.edit([&](model::MirrorData& d) {
        Saved s{d.clients.audio(index), std::nullopt};
        s.post = model::saveAudioSettings(d.clients, clientIndex_, target_.defaults, record,
                                          applyToPrior);
        return s;
    });
    if (!saved.post) {
        ctx.prompter.tell(this, windowTitle(),
                          tr("Client %1 no longer exists; nothing was sent.").arg(clientIndex_),
                          shell::PromptIcon::Error);
        return;
    }
    const std::vector<std::uint8_t>& bytes = saved.post->bytes;
    if (!ctx.link.requestQueue().PostCopy(saved.post->id, saved.post->second, bytes.data(),
                                          bytes.size())) {
        // The server never heard of it, so neither does the console's copy.
        if (saved.prior) {
            ctx.mirror.edit([&](model::MirrorData& d) { d.clients.setAudio(index, *saved.prior); });
        }
        ctx.prompter.tell(this, windowTitle(),
                          tr("The audio settings were not sent: the console is not connected "
                             "to the server."),
                          shell::PromptIcon::Error);
        return;
    }
    ViewDialog::accept();
}

} // namespace mirx::editors
