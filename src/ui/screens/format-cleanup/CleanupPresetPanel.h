// The preset chooser of Format Cleanup: the six presets, the formats a custom
// preset takes and "Build Preview". It only draws and reports choices; the
// screen keeps the chosen preset and formats.
#pragma once

#include "ui/widgets/KestrovaStyle.h"

#include <set>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace kestrova::ui {

class CleanupPresetPanel final : public CardFrame {
    Q_OBJECT
public:
    // `preset` is a FormatCleanupPresetKind; LV2 is offered only with `withLV2`.
    CleanupPresetPanel(int preset, const std::set<std::string>& customFormats, bool withLV2, QWidget* parent = nullptr);

    // Presets are locked while a run goes; the formats count only for a
    // custom preset.
    void setControlsEnabled(bool presets, bool formats, bool buildPreview);

signals:
    void presetChosen(int preset);
    void formatToggled(const QString& format, bool included);
    void buildPreviewRequested();

private:
    QButtonGroup* presetButtons_ = nullptr;
    std::vector<QCheckBox*> formatBoxes_;
    QPushButton* buildPreview_ = nullptr;
};

}  // namespace kestrova::ui
