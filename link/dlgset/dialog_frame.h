#pragma once
// Operations of the settings dialog's frame that the pages call. Each works
// on the current dialog (_FrmDlgSet) and does nothing when no dialog exists.
#include <cstdint>

namespace vrt::link {

// Arranges the current dialog for dialogState.dlgMode and extView.
void ArrangeForMode();
// Lays out the apply/undo/load/save buttons by the edited BtnCaptions.
void ArrangeSetButtons();
// Enables the port box, pages, edits, test panel and setting buttons by mode
// and test state.
void EnableDialogControls();
// Change marks, picture, colour and text of the help line, page hint, test button.
void ShowPageHelp();
// Makes `port` the selected port and refreshes the mode line and statistics.
void SelectPort(int32_t port);
// Enables or disables the port box and its buttons together.
void EnablePortBox(bool enable);
// Fills every control of the pages from the working copy and the edited options.
void ShowPortSettings();

}  // namespace vrt::link
