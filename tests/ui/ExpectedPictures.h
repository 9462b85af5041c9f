// What the importer dialog must show for a set of the three rows' states, spelled out
// case by case (the design's examples among them). The portable test checks the
// derivation against it; the in-process test under Wine checks the real window.
#pragma once

#include "ui/ControlsPicture.h"

namespace test {

constexpr wchar_t kRequires[] = L"Brindlecast requires the level files from the original game to run";
constexpr wchar_t kPresent[] = L"Required files are now present";

struct ExpectedRow {
    const wchar_t* text;
    bool marquee;
    bool install;
};

struct ExpectedPicture {
    const char* what;
    ImportState gog, steam, disc;
    const wchar_t* headline;
    ExpectedRow rows[3];
    bool done;
};

constexpr ExpectedRow kNotFound{L"Not found", false, false};

constexpr ExpectedPicture kExpectedPictures[] = {
    {"nothing found", NotFound, NotFound, NotFound, kRequires, {kNotFound, kNotFound, kNotFound}, true},
    {"all three ready", ReadyToImport, ReadyToImport, ReadyToImport, kRequires,
     {{L"Ready to import", false, true}, {L"Ready to import", false, true}, {L"Ready to import", false, true}}, true},
    {"GOG importing: one import at a time", Importing, ReadyToImport, ReadyToImport, kRequires,
     {{L"Importing files", true, false}, {L"Ready to import", false, false}, {L"Ready to import", false, false}}, false},
    {"Steam importing over an imported GOG", Imported, Importing, NotFound, kPresent,
     {{L"Files imported", false, false}, {L"Importing files", true, false}, kNotFound}, false},
    {"importing the only imported row again", Importing, NotFound, NotFound, kRequires,
     {{L"Importing files", true, false}, kNotFound, kNotFound}, false},
    {"a failure beside an imported row", ImportFailed, Imported, NotFound, kPresent,
     {{L"Import failed", false, true}, {L"Files imported", false, true}, kNotFound}, true},
    {"the disc failed alone", NotFound, NotFound, ImportFailed, kRequires,
     {kNotFound, kNotFound, {L"Import failed", false, true}}, true},
    {"the disc importing after two failures", ImportFailed, ImportFailed, Importing, kRequires,
     {{L"Import failed", false, false}, {L"Import failed", false, false}, {L"Importing files", true, false}}, false},
    {"the disc imported, GOG ready", ReadyToImport, NotFound, Imported, kPresent,
     {{L"Ready to import", false, true}, kNotFound, {L"Files imported", false, true}}, true},
    {"all imported", Imported, Imported, Imported, kPresent,
     {{L"Files imported", false, true}, {L"Files imported", false, true}, {L"Files imported", false, true}}, true},
};

}  // namespace test
