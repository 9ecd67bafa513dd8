#pragma once
// The program's resources: dialog templates, strings and pictures, looked up by number.
// Imitates: resources bound into the executable and found by integer identifier
// (MAKEINTRESOURCE), dialog templates in dialog units with a font, a string table.
// Leaves out: named resources, language variants, resource files on disk.

#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace platform {

struct DialogControl {
    int id;                  // -1 for controls the program never addresses
    const char* className;   // "Button", "Edit", "Static", "ComboBox", "msctls_trackbar32"
    const char* text;
    DWORD style;             // WS_CHILD | WS_VISIBLE are added when the dialog is built
    int x, y, cx, cy;        // dialog units
    const char* accessibleName;  // for controls whose text does not name them; may be null
};

struct DialogTemplate {
    int id;
    int cx, cy;              // dialog units
    const char* caption;
    const char* fontFace;
    int fontPoints;
    DWORD style;
    DWORD exStyle;
    std::vector<DialogControl> controls;
};

void RegisterDialogTemplate(const DialogTemplate& dialog);
const DialogTemplate* FindDialogTemplate(int id);

// A menu template: items in order; an item with children is a popup, one with neither an
// id nor a text is a separator.
struct MenuTemplateItem {
    const char* text;
    UINT id;
    std::vector<MenuTemplateItem> children;
};
void RegisterMenuTemplate(int id, const std::vector<MenuTemplateItem>& items);
const std::vector<MenuTemplateItem>* FindMenuTemplate(int id);

void RegisterString(UINT id, const char* text);
// The string's text, or "" when the table has none.
std::string LoadResourceString(UINT id);

// Pictures come from a GResource bundle under this prefix: <prefix>/images/<kind><id>[-<size>].png.
// `registerBundle` is called once before the first look-up.
void RegisterImageBundle(const char* prefix, void (*registerBundle)());
// The resource path of a picture, e.g. ("bitmap", 133, 0) or ("icon", 103, 32).
std::string ImageResourcePath(const char* kind, int id, int size);

// A cursor picture's hot spot (cursors are stored as <kind>cursor<id>.png without one).
void RegisterCursorHotSpot(int id, int x, int y);
POINT CursorHotSpot(int id);

// The resource identifier behind a name passed as MAKEINTRESOURCE(id); -1 for real strings.
int ResourceId(LPCSTR name);

}  // namespace platform
