// The filled accent look of a screen's primary action ("Build Preview",
// "Restore Format…"), so it stands out from the bordered buttons beside it.
#pragma once

class QPushButton;

namespace kestrova::ui {

void makeProminent(QPushButton& button);

}  // namespace kestrova::ui
