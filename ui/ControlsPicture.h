// What the importer dialog shows, derived from the three rows' states alone (portable).
#pragma once

#include <array>

// The state of one source row.
enum ImportState : int {
    NotFound = 0,
    ReadyToImport = 1,
    Importing = 2,
    Imported = 3,
    ImportFailed = 4,
};

struct RowPicture {
    const wchar_t* text;  // drawn on the row's bar
    bool marquee;
    bool installEnabled;
};

struct ControlsPicture {
    const wchar_t* headline;
    std::array<RowPicture, 3> rows;  // GOG, Steam, disc
    bool doneEnabled;
};

// The row text of a state, e.g. "Ready to import".
const wchar_t* ImportStateText(ImportState state);

// Where a minimised window draws its icon along one axis: (client - icon + 1) / 2, with
// division truncating toward zero (a client width of 0 and a 32-pixel icon give -15).
int MinimisedIconOffset(int clientSize, int iconSize);

// The complete picture of the controls for the GOG, Steam and disc states.
ControlsPicture DeriveControlsPicture(ImportState gog, ImportState steam, ImportState disc);
