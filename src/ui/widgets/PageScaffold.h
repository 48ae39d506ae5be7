// The frame every screen's page sits in, so all ten share one set of margins
// and one way of scrolling: a vertical scroll area for the pages taller than
// the window, or the bare screen for the list pages, whose lists scroll
// themselves.
#pragma once

class QVBoxLayout;
class QWidget;

namespace kestrova::ui {

enum class PageScroll { none, vertical };

// Lays out `screen` as a page and returns the layout the header and the
// content go into; its parent widget is the page.
QVBoxLayout* makePage(QWidget& screen, PageScroll scroll, int spacing = 16);

}  // namespace kestrova::ui
