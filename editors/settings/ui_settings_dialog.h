#pragma once

#include "model/ui_settings_form.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <optional>
#include <vector>

#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace mirx::shell {
class ColourSample;
}

namespace mirx::editors {

// The look of the clients' selector panels: nine colours, the spacings and
// three graphic files, with PNG files from this machine uploaded on OK. The
// record goes only after the server's file list shows every upload arrived.
class CUserInterfaceSettingsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kFileListPollMs = 100;
    static constexpr int kUploadTimeoutMs = 30000;

    CUserInterfaceSettingsDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    struct ColourRowWidgets {
        QPushButton* text = nullptr;
        QPushButton* background = nullptr;
        QPushButton* transparent = nullptr;
        shell::ColourSample* sample = nullptr;
    };
    const ColourRowWidgets& colourRow(std::size_t row) const { return rows_[row]; }
    QComboBox* schemes() const { return schemes_; }
    QComboBox* graphics(model::GraphicSlot slot) const { return graphics_[index(slot)]; }
    QPushButton* browse(model::GraphicSlot slot) const { return browse_[index(slot)]; }
    QLabel* preview(model::GraphicSlot slot) const { return previews_[index(slot)]; }
    QLineEdit* verticalSpacing() const { return vertical_; }
    QLineEdit* horizontalSpacing() const { return horizontal_; }
    QPushButton* okButton() const { return okButton_; }
    const model::UiColours& colours() const { return colours_; }
    // Waiting for the server to list the uploaded files.
    bool confirmingUploads() const { return pending_.has_value(); }
    void setUploadTimeoutMs(int ms) { uploadTimeoutMs_ = ms; }

protected:
    void closing(int result) override;

private:
    static std::size_t index(model::GraphicSlot slot) { return static_cast<std::size_t>(slot); }

    QWidget* buildColours();
    QWidget* buildGraphics();
    QWidget* buildSpacing();
    void showColours();
    void applyEnabling();
    void colourChanged();
    void chooseScheme(int entry);
    void chooseColour(int colour);
    void makeTransparent(int colour);
    void chooseFile(std::size_t slot);
    void pollFileList();
    void fillGraphicsLists(const std::vector<std::string>& names);
    void ok();
    void sendRecord(const model::UserInterfaceSettings& record);
    void uploadsNotDone(const QString& why);

    model::UiColours colours_{};
    std::array<ColourRowWidgets, model::kUiColourRows.size()> rows_{};
    QComboBox* schemes_ = nullptr;
    std::array<QComboBox*, model::kGraphicSlots> graphics_{};
    std::array<QPushButton*, model::kGraphicSlots> browse_{};
    std::array<QLabel*, model::kGraphicSlots> previews_{};
    QLineEdit* vertical_ = nullptr;
    QLineEdit* horizontal_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QWidget* content_ = nullptr;
    QTimer* fileListTimer_ = nullptr;
    bool fileListArrived_ = false;
    // File lists received before the view asked for its own.
    std::uint32_t listsBefore_ = 0;
    std::uint32_t listRequests_ = 0;
    bool showingScheme_ = false;
    // The record's names when the view opened: kept in their lists even
    // when the server does not list them.
    std::array<std::string, model::kGraphicSlots> recordNames_;
    // Files picked from disk, by slot: the path read again on OK.
    std::array<std::optional<QString>, model::kGraphicSlots> picked_;
    std::array<std::string, model::kGraphicSlots> pickedNames_;

    struct PendingUploads {
        std::vector<std::string> names;
        model::UserInterfaceSettings record;
        // The count of file lists (MirrorData::graphicFileLists) once the
        // answer to the request after the uploads is in.
        std::uint32_t answeredAt = 0;
        int waitedMs = 0;
    };
    std::optional<PendingUploads> pending_;
    int uploadTimeoutMs_ = kUploadTimeoutMs;
};

} // namespace mirx::editors
