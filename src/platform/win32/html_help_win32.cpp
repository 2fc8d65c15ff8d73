// Help on Windows: the HTML Help control, found through its class registration and loaded
// once; "Pellquin.chm" beside the executable.

#include <windows.h>

#include <string>

#include "platform/html_help.h"

namespace pellquin {
namespace {

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

class HtmlHelpWin32 : public HtmlHelp {
public:
    bool Load() override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT,
                          "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32", 0,
                          KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return false;
        }
        // One byte short of the buffer, so that the text always ends in a NUL.
        char module[256] = {};
        DWORD size = 255;
        if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(module),
                             &size) == ERROR_SUCCESS) {
            m_module = LoadLibraryA(module);
            if (m_module != nullptr) {
                m_entry = reinterpret_cast<HtmlHelpFunction>(
                    reinterpret_cast<void*>(GetProcAddress(m_module, "HtmlHelpA")));
                if (m_entry == nullptr) {
                    FreeLibrary(m_module);
                    m_module = nullptr;
                }
            }
        }
        RegCloseKey(key);
        return m_entry != nullptr;
    }

    void Show(const std::string& helpFile, uint32_t command, int32_t data) override {
        // Without the control there is nothing to call; the request opens nothing.
        if (m_entry == nullptr) {
            return;
        }
        // The desktop owns the help window, so it stays apart from the program's windows.
        m_entry(GetDesktopWindow(), helpFile.c_str(), command,
                static_cast<DWORD_PTR>(static_cast<intptr_t>(data)));
    }

    std::string FileName() const override { return "Pellquin.chm"; }

private:
    // Kept until the program ends; the control is not unloaded at exit.
    HMODULE m_module = nullptr;
    HtmlHelpFunction m_entry = nullptr;
};

}  // namespace

std::unique_ptr<HtmlHelp> MakeHtmlHelp() {
    return std::make_unique<HtmlHelpWin32>();
}

}  // namespace pellquin
