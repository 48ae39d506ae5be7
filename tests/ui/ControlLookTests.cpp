// The controls the window's style draws itself, and its confirmations: every
// indicator state reads apart from the others and from the background in
// the dark and in a light palette, and confirmations keep files in place on
// Return and Escape.
#include "UiSandbox.h"

#include "ui/widgets/ConfirmationDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QStyleOption>

namespace kestrova::testing {
namespace {

QPalette lightPalette() {
    QPalette palette(QColor(0xEC, 0xEC, 0xEC), QColor(0xF6, 0xF6, 0xF6));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
    palette.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
    return palette;
}

QImage indicator(QStyle::PrimitiveElement element, QStyle::State state, const QPalette& palette) {
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(palette.color(QPalette::Base));
    QPainter painter(&image);
    QStyleOptionButton option;
    option.rect = QRect(2, 2, 16, 16);
    option.palette = palette;
    option.state = QStyle::State_Enabled | state;
    QApplication::style()->drawPrimitive(element, &option, &painter);
    return image;
}

int differingPixels(const QImage& one, const QImage& other) {
    int count = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            count += one.pixel(x, y) != other.pixel(x, y) ? 1 : 0;
        }
    }
    return count;
}

TEST(ControlLook, EveryIndicatorStateDrawsDifferentPixelsInBothPalettes) {
    for (const auto& [paletteName, palette] :
         {std::pair{"dark", QApplication::palette()}, std::pair{"light", lightPalette()}}) {
        for (const auto element :
             {QStyle::PE_IndicatorCheckBox, QStyle::PE_IndicatorItemViewItemCheck, QStyle::PE_IndicatorRadioButton}) {
            QImage blank(20, 20, QImage::Format_ARGB32);
            blank.fill(palette.color(QPalette::Base));
            const auto off = indicator(element, QStyle::State_Off, palette);
            const auto on = indicator(element, QStyle::State_On, palette);
            const auto mixed = indicator(element, QStyle::State_NoChange, palette);
            const auto where = std::string(paletteName) + " element " + std::to_string(element);
            // An unticked box is plainly there: a full outline, not a hint of one.
            EXPECT_GE(differingPixels(off, blank), 40) << where;
            EXPECT_GE(differingPixels(on, off), 60) << where;
            if (element != QStyle::PE_IndicatorRadioButton) {
                EXPECT_GE(differingPixels(mixed, on), 10) << where;
                EXPECT_GE(differingPixels(mixed, off), 60) << where;
            }
        }
    }
}

TEST(ControlLook, ReturnAndEscapeOnEveryFileMovingConfirmationCancel) {
    ui::ConfirmationRequest plain;
    plain.title = "Move Plugin to Quarantine?";
    plain.message = "Kestrova will move every active detected format for Diva as one transaction.";
    plain.confirmButton = "Move All Formats";
    auto withRows = plain;
    withRows.rows = {{"Recorded Original Location", "/Library/Audio/Plug-Ins/VST3/Diva.vst3"}};
    auto acknowledged = withRows;
    acknowledged.acknowledgement = "I understand restoration depends on this exact bundle remaining in Finder Trash.";
    for (const auto& request : {plain, withRows, acknowledged}) {
        for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            ui::ConfirmationDialog dialog(request);
            EXPECT_TRUE(dialog.cancelButton()->isDefault());
            EXPECT_FALSE(dialog.confirmButton()->isDefault());
            if (dialog.acknowledgement()) {
                dialog.acknowledgement()->setChecked(true);
            }
            EXPECT_EQ(answerWith(dialog, {key}), QDialog::Rejected) << request.title.toStdString() << " " << key;
        }
    }
    // Only a deliberate move to the confirm button and a press there confirms.
    ui::ConfirmationDialog dialog(plain);
    EXPECT_EQ(answerWith(dialog, {Qt::Key_Tab, Qt::Key_Return}), QDialog::Accepted);
}

}  // namespace
}  // namespace kestrova::testing
