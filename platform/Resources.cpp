#include "platform/Resources.h"

#include <map>

namespace platform {
namespace {

std::map<int, DialogTemplate>& Dialogs() {
    static std::map<int, DialogTemplate> dialogs;
    return dialogs;
}
std::map<int, std::vector<MenuTemplateItem>>& Menus() {
    static std::map<int, std::vector<MenuTemplateItem>> menus;
    return menus;
}
std::map<UINT, std::string>& Strings() {
    static std::map<UINT, std::string> strings;
    return strings;
}
std::map<int, POINT>& HotSpots() {
    static std::map<int, POINT> spots;
    return spots;
}
std::string g_imagePrefix;
void (*g_registerBundle)() = nullptr;
bool g_bundleRegistered = false;

}  // namespace

void RegisterDialogTemplate(const DialogTemplate& dialog) { Dialogs()[dialog.id] = dialog; }

const DialogTemplate* FindDialogTemplate(int id) {
    auto it = Dialogs().find(id);
    return it == Dialogs().end() ? nullptr : &it->second;
}

void RegisterMenuTemplate(int id, const std::vector<MenuTemplateItem>& items) { Menus()[id] = items; }

const std::vector<MenuTemplateItem>* FindMenuTemplate(int id) {
    auto it = Menus().find(id);
    return it == Menus().end() ? nullptr : &it->second;
}

void RegisterString(UINT id, const char* text) { Strings()[id] = text ? text : ""; }

std::string LoadResourceString(UINT id) {
    auto it = Strings().find(id);
    return it == Strings().end() ? std::string() : it->second;
}

void RegisterImageBundle(const char* prefix, void (*registerBundle)()) {
    g_imagePrefix = prefix ? prefix : "";
    g_registerBundle = registerBundle;
    g_bundleRegistered = false;
}

std::string ImageResourcePath(const char* kind, int id, int size) {
    if (!g_bundleRegistered && g_registerBundle) {
        g_registerBundle();
        g_bundleRegistered = true;
    }
    std::string path = g_imagePrefix + "/images/" + kind + std::to_string(id);
    if (size > 0) path += "-" + std::to_string(size);
    return path + ".png";
}

void RegisterCursorHotSpot(int id, int x, int y) { HotSpots()[id] = POINT{x, y}; }

POINT CursorHotSpot(int id) {
    auto it = HotSpots().find(id);
    return it == HotSpots().end() ? POINT{} : it->second;
}

int ResourceId(LPCSTR name) {
    auto value = reinterpret_cast<uintptr_t>(name);
    return value < 0x10000 ? static_cast<int>(value) : -1;
}

}  // namespace platform
