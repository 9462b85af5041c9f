// DeriveControlsPicture: everything the dialog's UpdateControls applies.
#include "ControlsPicture.h"

const wchar_t* ImportStateText(ImportState state) {
    switch (state) {
    case NotFound: return L"Not found";
    case ReadyToImport: return L"Ready to import";
    case Importing: return L"Importing files";
    case Imported: return L"Files imported";
    case ImportFailed: return L"Import failed";
    }
    return L"";
}

ControlsPicture DeriveControlsPicture(ImportState gog, ImportState steam, ImportState disc) {
    const ImportState states[] = {gog, steam, disc};
    bool busy = false, imported = false;
    for (ImportState s : states) {
        busy = busy || s == Importing;
        imported = imported || s == Imported;
    }
    ControlsPicture picture{};
    picture.headline = imported ? L"Required files are now present"
                                : L"Brindlecast requires the level files from the original game to run";
    for (int row = 0; row < 3; ++row) {
        const ImportState s = states[row];
        // An importing row disables every Install button: one import at a time.
        picture.rows[row] = {ImportStateText(s), s == Importing, s != NotFound && !busy};
    }
    picture.doneEnabled = !busy;
    return picture;
}

int MinimisedIconOffset(int clientSize, int iconSize) { return (clientSize - iconSize + 1) / 2; }
