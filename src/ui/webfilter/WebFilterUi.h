#pragma once

class QComboBox;
class WebFilter;

// The widget side of the web filter: the main window's two selection boxes
// and the message box for a port Privoxy could not bind.
class WebFilterUi
{
public:
    // Each clears the box, adds "Leave unchanged" without item data, then one
    // item per row: the OS choice list or the user-agent template as data.
    static void fillOsCombo(QComboBox *box);
    static void fillBrowserCombo(QComboBox *box);

    // Shows the filter's bind failures as modal critical message boxes.
    static void showBindErrors(WebFilter *filter);
};
