#pragma once

#include <QByteArray>

// The sizes the person gives the window, and the sidebar and the transfer panel by dragging their
// handles: stored in the preferences as set, the panels shown within what the window leaves them.
namespace PanelSizes {

inline constexpr double defaultSidebarWidth = 230;
// Five or six one-line transfer rows below the panel's tabs and toolbar; taller is the person's choice.
inline constexpr double defaultTransferPanelHeight = 198;
// What a handle's keys and the accessibility increment change by.
inline constexpr int step = 30;

// The sidebar keeps at least 180 and leaves the panes 647 of the window's width.
int sidebarMinimum();
int sidebarMaximum(int windowWidth);
int sidebarWidth(double stored, int windowWidth);
// The transfer panel keeps at least 120 and leaves the rest 330 of the window's height.
int transferPanelMinimum();
int transferPanelMaximum(int windowHeight);
int transferPanelHeight(double stored, int windowHeight);

// The stored values ("sidebarWidth", "transferPanelHeight"), or the defaults.
double storedSidebarWidth();
void storeSidebarWidth(double width);
double storedTransferPanelHeight();
void storeTransferPanelHeight(double height);
// The main window's place, size and whether it is maximised ("windowGeometry"), as
// QWidget::saveGeometry() writes them; empty when none is stored.
QByteArray storedWindowGeometry();
void storeWindowGeometry(const QByteArray& geometry);

} // namespace PanelSizes
