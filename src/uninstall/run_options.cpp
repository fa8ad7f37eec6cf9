#include "uninstall/run_options.h"

#include "common/paths.h"
#include "language/language_module.h"
#include "language/language_table.h"

namespace tvx {

namespace {
constexpr int kDefaultDpi = 96;
constexpr int kWow64NotAsked = -1;
constexpr wchar_t kAppIconName[] = L"TVXICON";
constexpr wchar_t kDialogFace[] = L"MS Shell Dlg";
constexpr int kBoldFontHeight = -12;

struct ProcessState {
    int screenDpiY = 0;  // 0 until first needed
    int wow64 = kWow64NotAsked;
    Wow64Query wow64Query = nullptr;  // nullptr: the system's IsWow64Process
    MessageBoxFunction messageBox = nullptr;  // nullptr: MessageBoxW
    HICON appIcon = nullptr;
    HFONT boldFont = nullptr;
};

ProcessState& State()
{
    static ProcessState state;
    return state;
}

// Functions of kernel32 that older systems lack are looked up by name.
template <typename Function>
Function Kernel32Function(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

int ScreenDpiY()
{
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}
}  // namespace

RunOptions& Options()
{
    static RunOptions options;
    return options;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    if (Languages().IsRightToLeft()) flags |= MB_RIGHT | MB_RTLREADING;
    MessageBoxFunction show = State().messageBox != nullptr ? State().messageBox : &MessageBoxW;
    return show(owner, text, caption, flags);
}

void SetMessageBoxForTesting(MessageBoxFunction function)
{
    State().messageBox = function;
}

int ScaleByDpiY(int value)
{
    int& dpi = State().screenDpiY;
    if (dpi == 0) dpi = ScreenDpiY();
    return value * dpi / kDefaultDpi;
}

void SetScreenDpiForTesting(int dpiY)
{
    State().screenDpiY = dpiY;
}

bool RunningUnderWow64()
{
    ProcessState& state = State();
    if (state.wow64 != kWow64NotAsked) return state.wow64 == 1;
    Wow64Query query = state.wow64Query;
    if (query == nullptr) query = Kernel32Function<Wow64Query>("IsWow64Process");
    if (query == nullptr) return false;
    BOOL wow64 = FALSE;
    // A failed query is not remembered: the next call asks again.
    if (!query(GetCurrentProcess(), &wow64)) return false;
    state.wow64 = wow64 ? 1 : 0;
    return state.wow64 == 1;
}

void SetWow64QueryForTesting(Wow64Query query)
{
    State().wow64Query = query;
    State().wow64 = kWow64NotAsked;
}

bool IsNativeIa64()
{
    using GetNativeSystemInfoFunction = void(WINAPI*)(LPSYSTEM_INFO);
    auto getInfo = Kernel32Function<GetNativeSystemInfoFunction>("GetNativeSystemInfo");
    if (getInfo == nullptr) return false;
    SYSTEM_INFO info{};
    getInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

void HardenDllSearchPath(bool remove)
{
    using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
    auto setDllDirectory = Kernel32Function<SetDllDirectoryFunction>("SetDllDirectoryW");
    // An empty text takes the current folder out of the search path; none puts it back.
    if (setDllDirectory != nullptr) setDllDirectory(remove ? L"" : nullptr);
}

HMODULE LoadSystemDll(const wchar_t* name)
{
    wchar_t folder[kPathCapacity];
    UINT length = GetSystemDirectoryW(folder, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) return nullptr;
    wchar_t path[kPathCapacity];
    JoinPath(folder, name, path, kPathCapacity);
    return LoadLibraryW(path);
}

void CreateUserInterfaceHandles()
{
    ProcessState& state = State();
    state.appIcon = LoadIconW(ResourceModule(), kAppIconName);
    if (state.appIcon == nullptr && OwnModule() != ResourceModule())
        state.appIcon = LoadIconW(OwnModule(), kAppIconName);
    state.boldFont = CreateFontW(ScaleByDpiY(kBoldFontHeight), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                 ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kDialogFace);
}

void ReleaseUserInterfaceHandles()
{
    ProcessState& state = State();
    if (state.boldFont != nullptr) DeleteObject(state.boldFont);
    state.boldFont = nullptr;
    // An icon from LoadIcon is shared with its module and is not destroyed.
    state.appIcon = nullptr;
}

HICON AppIcon()
{
    return State().appIcon;
}

HFONT BoldFont()
{
    return State().boldFont;
}

}  // namespace tvx
