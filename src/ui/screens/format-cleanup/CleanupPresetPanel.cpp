#include "ui/screens/format-cleanup/CleanupPresetPanel.h"

#include "model/FormatCleanupRun.h"
#include "model/Plugin.h"
#include "ui/app/QtText.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrova::ui {

CleanupPresetPanel::CleanupPresetPanel(int preset, const std::set<std::string>& customFormats, bool withLV2,
                                       QWidget* parent)
    : CardFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 16);
    layout->setSpacing(10);
    layout->addWidget(wrappedLabel(QStringLiteral("Cleanup Preset"), makeSemibold, this));

    presetButtons_ = new QButtonGroup(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(10);
    int index = 0;
    for (const auto kind : allFormatCleanupPresets) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* radio = new QRadioButton(this);
        radio->setObjectName(toQString(rawValue(kind)));
        radio->setChecked(static_cast<int>(kind) == preset);
        presetButtons_->addButton(radio, static_cast<int>(kind));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = wrappedLabel(toQString(title(kind)), makeSemibold, this);
        name->setBuddy(radio);
        texts->addWidget(name);
        texts->addWidget(wrappedLabel(toQString(presetDescription(kind)), makeCaption, this));
        row->addWidget(radio, 0, Qt::AlignTop);
        row->addLayout(texts, 1);
        grid->addLayout(row, index / 3, index % 3);
        ++index;
    }
    for (int column = 0; column < 3; ++column) {
        grid->setColumnStretch(column, 1);
    }
    layout->addLayout(grid);
    connect(presetButtons_, &QButtonGroup::idClicked, this, &CleanupPresetPanel::presetChosen);

    auto* formats = new QHBoxLayout;
    formats->setSpacing(14);
    auto* formatsLabel = wrappedLabel(QStringLiteral("Formats to quarantine:"), makeSecondary, this);
    formatsLabel->setWordWrap(false);
    formats->addWidget(formatsLabel);
    for (const auto name : formats::all) {
        // LV2 bundles exist only in the Linux folders.
        if (name == formats::lv2 && !withLV2) {
            continue;
        }
        const auto format = toQString(name);
        auto* box = new QCheckBox(format, this);
        box->setChecked(customFormats.contains(std::string(name)));
        connect(box, &QCheckBox::toggled, this, [this, format](bool on) { emit formatToggled(format, on); });
        formatBoxes_.push_back(box);
        formats->addWidget(box);
    }
    formats->addStretch(1);
    layout->addLayout(formats);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(14);
    buildPreview_ = new QPushButton(symbolIcon("eye"), QStringLiteral("Build Preview"), this);
    makeProminent(*buildPreview_);
    connect(buildPreview_, &QPushButton::clicked, this, &CleanupPresetPanel::buildPreviewRequested);
    actions->addWidget(buildPreview_, 0, Qt::AlignTop);
    actions->addWidget(wrappedLabel(QStringLiteral("Cleanup presets quarantine only the exact reviewed bundles. They "
                                                   "never run in the background, never move protected or shared-shell "
                                                   "items, and never send a bundle directly to Trash."),
                                    makeCaption, this),
                       1);
    layout->addLayout(actions);
}

void CleanupPresetPanel::setControlsEnabled(bool presets, bool formats, bool buildPreview) {
    for (auto* button : presetButtons_->buttons()) {
        button->setEnabled(presets);
    }
    for (auto* box : formatBoxes_) {
        box->setEnabled(formats);
    }
    buildPreview_->setEnabled(buildPreview);
}

}  // namespace kestrova::ui
